#pragma once
#include <windows.h>

int StartMonitoring();
int StopMonitoring();
DWORD WINAPI CaptureThreadProc(LPVOID unused);
int RunCapture(const char* deviceName);
