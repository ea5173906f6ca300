// Part 3.3: the lamp timer. Armed from the capture thread for every packet and
// cancelled by StopMonitoring on the GUI thread; it belongs to the main window,
// so its WM_TIMER reaches MainWindowProc, which hands it to OnLampTimer.
#include "monitor/lamp_win.h"
#include "app/app_state.h"
#include "res/resource.h"
#include "tray/tray_icon_win.h"

void ArmLampTimer(HWND window, UINT milliseconds)
{
    if (app.lampTimerArmed.load() == 1) {
        KillTimer(window, LAMP_TIMER_ID);
        app.lampTimerArmed = 0;
    }
    if (milliseconds != 0) {
        // No TIMERPROC: the expiry arrives as the window's own WM_TIMER.
        SetTimer(window, LAMP_TIMER_ID, milliseconds, nullptr);
        app.lampTimerArmed = 1;
    }
}

LRESULT OnLampTimer(HWND, WPARAM timerId, LPARAM)
{
    if (timerId != LAMP_TIMER_ID)
        return 0;
    // The flag is taken from 1 to 0 before the idle image is set, in one step.
    // Clearing it after the image (the order of Part 3.3's text) would let a
    // packet that re-arms in between be forgotten: its colour would stay,
    // with the flag 0, and its own expiry would then do nothing.
    int32_t armed = 1;
    if (app.lampTimerArmed.compare_exchange_strong(armed, 0))
        TrayIconSetImage(ICON_IDLE);
    return 0;
}
