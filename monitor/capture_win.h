#pragma once
#include <windows.h>

// Shown when a new run is asked for while the previous run's capture thread
// is still blocked in the capture library.
extern const char MSG_CAPTURE_STILL_RUNNING[];

int StartMonitoring();
int StopMonitoring();
// CMD_MONITOR_STOP's lParam: 0 from the menu, or the number of the run whose
// capture failed; a request from a run that has already ended is ignored.
bool IsStopRequestCurrent(LPARAM runNumber);
DWORD WINAPI CaptureThreadProc(LPVOID run);
