#pragma once
#include <windows.h>

// The tray menu's commands, as WM_COMMAND brings them to the main window.
LRESULT OnCommand(HWND window, WPARAM wParam, LPARAM lParam = 0);
// The program's own close: the icon goes, then the main window (a close
// during start-up ends start-up).
void RequestQuit();
// Quit asked for from outside (the installer's quit message, Restart
// Manager): as the menu's Quit, or once start-up has ended.
void QuitWhenAllowed(HWND window);
