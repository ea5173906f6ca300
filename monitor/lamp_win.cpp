// The lamp timer. Armed from the capture thread for every packet and
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

LRESULT OnLampTimer(HWND window, WPARAM timerId, LPARAM)
{
    if (timerId != LAMP_TIMER_ID)
        return 0;
    // The flag is taken from 1 to 0 before the idle image is set, in one step.
    // Clearing it after the image would let a packet that re-arms in between
    // be forgotten: its colour would stay, with the flag 0, and its own expiry
    // would then do nothing.
    int32_t armed = 1;
    if (app.lampTimerArmed.compare_exchange_strong(armed, 0)) {
        // Window timers repeat; a lamp that went out must not keep waking the
        // program 50 times a second. A packet that re-armed meanwhile set its
        // colour before its timer, so killing here can never leave it lit.
        KillTimer(window, LAMP_TIMER_ID);
        TrayIconSetImage(ICON_IDLE);
    }
    return 0;
}
