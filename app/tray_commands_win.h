#pragma once
#include <windows.h>

// The tray menu's commands, as WM_COMMAND brings them to the main window.
LRESULT OnCommand(HWND window, WPARAM wParam, LPARAM lParam = 0);
// The program's own close: the icon goes, then the main window (a close
// during start-up ends start-up).
void RequestQuit();
