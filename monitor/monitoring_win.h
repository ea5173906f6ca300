// The user's monitoring: off, capturing a device, or (Automatic mode) no
// connection to capture. One function changes it, and with it the lamp, the
// rate tick, the tip, the graph and what the menu offers. While monitoring,
// every FOLLOW period and at once when the system reports a change or a
// wake, the GUI thread looks at the network: in Automatic mode the capture
// moves to the connection in use; in both modes the run's own addresses
// are renewed. Everything here runs on the GUI thread.
#pragma once
#include <windows.h>

// Monitor start: a run on the chosen adapter, or in Automatic mode whatever
// connection is in use. The traffic history begins anew, unless Setup
// stopped monitoring and starts it again.
void StartMonitoring();
void StopMonitoring();
// Setup's own stop: the next start keeps the history and the totals, until
// SetupEnded.
void StopMonitoringForSetup();
void SetupEnded();
// A change of monitoring is under way (it may be waiting for a run to end,
// answering sent messages meanwhile): whatever would change it again must
// wait until it is over.
bool MonitoringChanging();

// The connection monitored (or chosen), or null: none chosen, or Automatic
// mode has none.
const char* ConnectionName();
// The tip without rates: the connection name, "NetGlow" with none chosen,
// or "No connection" while Automatic mode has none.
const char* PlainTip();

LRESULT OnFollowTimer(HWND window);
LRESULT OnNetworkChanged(HWND window);
// WM_CAPTURE_ENDED: an automatic run could not capture its device.
LRESULT OnCaptureEnded(HWND window, WPARAM why, LPARAM runNumber);
// WM_LOG_FAILED: the run could not write the connection log; logging
// stops, monitoring goes on, and a balloon says why.
LRESULT OnLogFailed(HWND window, WPARAM error, LPARAM runNumber);
// WM_CAPTURE_OPENED: a quiet try opened its device.
LRESULT OnCaptureOpened(HWND window, LPARAM runNumber);
// WM_POWERBROADCAST: after a wake the capture is opened afresh.
LRESULT OnPowerBroadcast(HWND window, WPARAM event);
