// The lamp: the tray image while monitoring. Everything here but
// ReportLampActivity runs on the GUI thread, which owns the image and the
// lamp timer; the capture thread only reports and, when the GUI thread must
// act, posts WM_LAMP_ACTIVITY.
#pragma once
#include <windows.h>
#include <cstdint>

// Milliseconds of a steady, precise clock (the tick count's 16 ms steps on
// Windows would put a 20 ms lamp out after as little as 4 ms).
uint64_t LampClockMs();

// Capture thread, once per read that delivered frames: the lamp of the
// read's last frame, its colour's image id with LAMP_RECEIVED when it was
// received (see lamp_look.h).
void ReportLampActivity(HWND window, unsigned lamp);

// GUI thread.
void LampStart();                  // monitoring begins: the idle lamp
void LampStop(HWND window);        // monitoring ends: no timer, the stopped lamp
LRESULT OnLampActivity(HWND window, WPARAM, LPARAM);
LRESULT OnLampTimer(HWND window, WPARAM timerId, LPARAM unused);
// Whether the lamp timer is set (a colour is showing and will go out).
bool LampTimerRunning();
