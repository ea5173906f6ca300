// Placeholder until the lamp and packet path land; removed by that change.
#include "monitor/lamp_win.h"
#include "monitor/packet_win.h"
#include "tray/tray_icon_win.h"
void ArmLampTimer(HWND, UINT) {}
LRESULT OnLampTimer(HWND, WPARAM, LPARAM) { return 0; }
void OnPacket(unsigned char*, const struct pcap_pkthdr*, const unsigned char*) {}
BOOL TrayIconAdd(HWND, UINT, UINT, HICON, const char*) { return TRUE; }
void TrayIconDelete(HWND, UINT) {}
void TrayIconSetImage(UINT) {}
void TrayIconSetTip(const char*) {}
void TrayIconRestore() {}
