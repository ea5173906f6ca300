#pragma once
#include <windows.h>

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
BOOL IsSupportedWindows();
int InitializeApp();
void RequestQuit();
// Registers the "NetGlow" class; false on failure.
bool RegisterMainWindowClass(HINSTANCE instance);
HWND CreateMainWindow(HINSTANCE instance);
