// Following the network while monitoring: every FOLLOW period, and at once
// when the system reports a change or a wake from sleep, the GUI thread
// looks at the routes and addresses. In automatic mode the capture moves to
// the connection in use; in both modes the run's own addresses are renewed.
#pragma once
#include <windows.h>
#include <cstddef>
#include "core/own_addresses.h"

// Monitoring began or ended: the timer and the system's change notices.
void FollowNetworkStart(HWND window);
void FollowNetworkStop(HWND window);

LRESULT OnFollowTimer(HWND window);
LRESULT OnNetworkChanged(HWND window);
// WM_CAPTURE_ENDED: an automatic run could not capture its device.
LRESULT OnCaptureEnded(HWND window, WPARAM why, LPARAM runNumber);
// WM_POWERBROADCAST: after a wake the capture is opened afresh.
LRESULT OnPowerBroadcast(HWND window, WPARAM event);

// The system's connection name (may be null) and addresses of the adapter
// whose GUID the device name carries; false when the system does not know it.
bool ReadAdapterAddresses(const char* deviceName, char* name, size_t nameSize, OwnAddresses* own);
