#pragma once
#include <windows.h>

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
BOOL IsSupportedWindows();
int InitializeApp();
// Registers the "NetGlow" class; false on failure.
bool RegisterMainWindowClass(HINSTANCE instance);
HWND CreateMainWindow(HINSTANCE instance);
// A second copy found the program running: asks the running copy's main
// window (if it has one yet) to say so from its icon.
void TellRunningCopy();
