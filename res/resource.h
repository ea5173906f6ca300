// Resource and command ids, shared by NetGlow.rc and the code.
#pragma once

#define APP_MANIFEST_ID     1

#define ICON_APP            103
// The lamps for a light taskbar: a black outline.
#define ICON_STOPPED        128
#define ICON_IDLE           129
#define ICON_YELLOW         130
#define ICON_RED            131
// The same lamps for a dark taskbar: a light outline.
#define ICON_DARK_STOPPED   132
#define ICON_DARK_IDLE      133
#define ICON_DARK_YELLOW    134
#define ICON_DARK_RED       135
// Shapes in the lamps' colours, for users who cannot tell red from yellow:
// stopped a ring with a bar, idle a ring, sent an arrow up, received an
// arrow down. For a light taskbar (black outline), then for a dark one.
#define ICON_SHAPE_STOPPED      136
#define ICON_SHAPE_IDLE         137
#define ICON_SHAPE_SENT_YELLOW  138
#define ICON_SHAPE_SENT_RED     139
#define ICON_SHAPE_RECV_YELLOW  140
#define ICON_SHAPE_RECV_RED     141
#define ICON_DARK_SHAPE_STOPPED     142
#define ICON_DARK_SHAPE_IDLE        143
#define ICON_DARK_SHAPE_SENT_YELLOW 144
#define ICON_DARK_SHAPE_SENT_RED    145
#define ICON_DARK_SHAPE_RECV_YELLOW 146
#define ICON_DARK_SHAPE_RECV_RED    147
// High contrast: the same shapes in one colour, dark ones for a scheme with
// a light window colour, light ones for a dark window colour.
#define ICON_HC_DARK_STOPPED    148
#define ICON_HC_DARK_IDLE       149
#define ICON_HC_DARK_SENT       150
#define ICON_HC_DARK_RECV       151
#define ICON_HC_LIGHT_STOPPED   152
#define ICON_HC_LIGHT_IDLE      153
#define ICON_HC_LIGHT_SENT      154
#define ICON_HC_LIGHT_RECV      155

#define IDD_SETUP           101
#define IDD_ABOUT           105

#define IDC_SETUP_OK        1000
#define IDC_SETUP_CANCEL    1001
#define IDC_CARD_LIST       1034
#define IDC_SEND_RED        1035
#define IDC_SEND_YELLOW     1036
#define IDC_RECV_RED        1037
#define IDC_RECV_YELLOW     1038
#define IDC_START_OPT       1039
#define IDC_NOW_OPT         1040
#define IDC_IPV4            1041
#define IDC_IPV6            1042
#define IDC_TIMEOUT         1043
#define IDC_DATA_FOLDER     1044
#define IDC_STATIC          -1

#define CMD_MONITOR_START   1015
#define CMD_MONITOR_STOP    1016
#define CMD_LOG_START       1017
#define CMD_LOG_STOP        1018
#define CMD_LOG_VIEW        1019
#define CMD_LOG_DELETE      1020
#define CMD_SETUP           1021
#define CMD_HELP            1022
#define CMD_ABOUT           1023
#define CMD_QUIT            1024
#define CMD_START_WITH_WINDOWS 1025
#define CMD_TRAFFIC_GRAPH   1026
#define CMD_LAMP_SHAPES     1027

#define TRAY_ICON_ID            128
#define TRAY_CALLBACK_MESSAGE   0x1400
#define LAMP_TIMER_ID           89
#define RATE_TIMER_ID           90
// WM_APP + 1: the capture thread's word that the lamp has something to show.
#define WM_LAMP_ACTIVITY        0x8001
// Every 2 s while monitoring: the connection in use and its addresses.
#define FOLLOW_TIMER_ID         91
// WM_APP + 2: the system reported a change of interfaces, routes or
// addresses; look at the connection now.
#define WM_NETWORK_CHANGED      0x8002
// WM_APP + 3: an automatic run ended by itself (wParam: why, lParam: its number).
#define WM_CAPTURE_ENDED        0x8003
// WM_APP + 4: to the traffic graph window: a new second, or monitoring
// stopped or lost its connection; show it.
#define WM_GRAPH_UPDATE         0x8004
// WM_APP + 5: a quiet try of an automatic run opened its device (lParam: its number).
#define WM_CAPTURE_OPENED       0x8005
// WM_APP + 6: a run could not write the connection log (wParam: the system's
// error code, lParam: its number); once per failure.
#define WM_LOG_FAILED           0x8006

#define HELP_CONTEXT_SETUP  21000

// Sent from Windows 8.1 on; the headers name it only for builds aimed there.
#ifndef WM_DPICHANGED
#define WM_DPICHANGED       0x02E0
#endif
