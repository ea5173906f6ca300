// The runs: opening, reading, reopening and closing one capture device on a
// thread of its own, the run that did not end within the stop's bound, and
// the hand-over of the adapter's addresses. Monitoring decides when a run
// starts and ends; a run knows nothing of the lamp, the tip or the network.
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

// GUI thread.
// Makes a run whose thread waits for LetRunRead; false when a run is in
// progress or ending, a stranded run still lives, or no thread could be
// made. automatic: failures end the run quietly with WM_CAPTURE_ENDED.
// announceOpen: WM_CAPTURE_OPENED tells when the device has opened.
bool StartRun(const char* deviceName, const OwnAddresses& own, bool automatic, bool announceOpen = false);
// The run started last may read: the lamp is ready for its first report.
void LetRunRead();
// Ends the run in progress, waiting for it within the stop's bound; a run
// that does not end by then is kept as the stranded run.
void EndRun();
// Whether a run that did not end in time still lives, after waiting up to
// wait ms for it.
bool StrandedRunLives(DWORD wait);
// The device of the run in progress, or null; its number, or 0.
const char* RunningDevice();
LPARAM RunningNumber();
// The run reads these addresses from its next read on.
void PublishRunAddresses(const OwnAddresses& own);
// The run closes its device and opens it again (after a resume).
void ReopenRun();
// The run's WM_LOG_FAILED has been handled: logging is off, and the run may
// log again once it is turned on.
void LogFailureHandled();
// CMD_MONITOR_STOP's lParam: 0 from the menu, or the number of the run whose
// capture failed; a request from a run that has already ended is ignored.
bool IsStopRequestCurrent(LPARAM runNumber);
// The bound of a stop's wait for its run, and of a chosen start's wait for
// a stranded run.
extern const DWORD STOP_WAIT_MS;
