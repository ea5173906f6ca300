#pragma once
#include <windows.h>
#include "tray/tray_menu_rules.h"

LRESULT OnTrayCallback(HWND window, WPARAM iconId, LPARAM mouseMessage);
int ShowTrayMenu(HWND window, int cursorX, HMENU menu);
// "TrayNotifyWnd"'s rectangle as the shell has it, else the cursor.
TrayMenuPlace PlaceBesideNotifyArea(HWND window, int cursorX);
BOOL CALLBACK NotifyAreaEnumProc(HWND child, LPARAM rectAddress);
