#pragma once
#include <windows.h>
#include "core/own_addresses.h"

// Shown when a new run is asked for while the previous run's capture thread
// is still blocked in the capture library.
extern const char MSG_CAPTURE_STILL_RUNNING[];

// Why an automatic run ended by itself (WM_CAPTURE_ENDED's wParam).
enum CaptureEnd {
    CAPTURE_OPEN_FAILED = 1,   // the device cannot be opened, or failed again at once
    CAPTURE_NOT_ETHERNET = 2   // it delivers frames the packet path cannot read
};

// The user's monitoring: a run on the chosen adapter, or in automatic mode
// whatever connection is in use, followed until StopMonitoring. The traffic
// history begins anew, unless this only resumes after Setup (keepHistory).
int StartMonitoring(bool keepHistory = false);
int StopMonitoring();
// CMD_MONITOR_STOP's lParam: 0 from the menu, or the number of the run whose
// capture failed; a request from a run that has already ended is ignored.
bool IsStopRequestCurrent(LPARAM runNumber);
DWORD WINAPI CaptureThreadProc(LPVOID run);

// The runs themselves, for the connection check (GUI thread).
// The device of the run in progress, or null.
const char* RunningDevice();
LPARAM RunningNumber();
// Starts a run; false when a stranded run still lives or no thread could be
// made. automatic: failures end the run quietly with WM_CAPTURE_ENDED.
bool StartRun(const char* deviceName, const OwnAddresses& own, bool automatic);
// Ends the run in progress, waiting for it within the stop's bound.
void EndRun();
// The run reads these addresses from its next read on.
void PublishRunAddresses(const OwnAddresses& own);
// The run closes its device and opens it again (after a resume).
void ReopenRun();
