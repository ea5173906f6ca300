#pragma once
#include <windows.h>

LRESULT OnTrayCallback(HWND window, WPARAM iconId, LPARAM mouseMessage);
int ShowTrayMenu(HWND window, int cursorX, HMENU menu);
BOOL CALLBACK NotifyAreaEnumProc(HWND child, LPARAM rectAddress);
LRESULT OnCommand(HWND window, WPARAM wParam, LPARAM lParam = 0);
