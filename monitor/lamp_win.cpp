#include "monitor/lamp_win.h"
#include <atomic>
#include "monitor/lamp_rules.h"
#include "res/resource.h"
#include "core/app_state.h"
#include "tray/tray_icon_win.h"
#include "tray/tray_image_win.h"

namespace {

// Written by the capture thread, read by the GUI thread.
std::atomic<uint64_t> lastFrameMs{ 0 };
std::atomic<unsigned> frameIcon{ ICON_IDLE };
// Written by the GUI thread: a colour is showing and the timer will look
// again, so a read of the same colour need not wake it.
std::atomic<int32_t> lampLit{ 0 };
// A WM_LAMP_ACTIVITY is on its way: at most one is ever outstanding.
std::atomic<int32_t> wakePending{ 0 };
// Written by the GUI thread from the look: whether a frame's direction shows
// (shapes). Without it a sent and a received frame of one colour are the same
// lamp to the capture thread, which then need not wake the GUI thread.
std::atomic<bool> directionShown{ false };

// GUI thread only.
bool active = false;
bool timerSet = false;
// The lamp last handed to the tray icon, its direction and colour whole, so
// that a change of look shows it right.
unsigned shownLamp = ICON_STOPPED;
uint64_t lastChangeMs = 0;

// The tray's look, its direction told to the capture thread.
const LampLook& TrayLook()
{
    const LampLook& look = CurrentLampLook();
    directionShown.store(look.shapes || look.highContrast);
    return look;
}

void Show(unsigned lamp, uint64_t now)
{
    if (lamp == shownLamp)
        return;
    TrayIconSetImage(lamp);
    shownLamp = lamp;
    lastChangeMs = now;
}

void Refresh(HWND window)
{
    // Cleared before the frame time is read, while the capture thread stores
    // the time before it reads this flag: either this look sees the new
    // frame, or the capture thread sees the lamp out and wakes us again.
    lampLit.store(0);
    const LampLook& look = TrayLook();
    LampInput in;
    in.lastFrameMs = lastFrameMs.load();
    // Only what the look draws counts as a change: without shapes a sent and
    // a received frame of one colour are the same lamp.
    unsigned frameLamp = frameIcon.load();
    in.frameIcon = LampDrawn(frameLamp, look);
    in.nowMs = LampClockMs();
    in.timeoutMs = static_cast<uint32_t>(app.TimeoutP.load() > 0 ? app.TimeoutP.load() : 0);
    in.shownIcon = LampDrawn(shownLamp, look);
    in.lastChangeMs = lastChangeMs;
    LampStep step = NextLampStep(in);
    if (step.lit && step.timerMs != 0)
        lampLit.store(1);
    if (step.showIcon != 0)
        Show(step.showIcon == in.frameIcon ? frameLamp : step.showIcon, in.nowMs);
    if (step.timerMs != 0) {
        // The same id replaces the running timer, so there is only ever one.
        SetTimer(window, LAMP_TIMER_ID, step.timerMs, nullptr);
        timerSet = true;
    } else if (timerSet) {
        // A quiet adapter must wake nothing.
        KillTimer(window, LAMP_TIMER_ID);
        timerSet = false;
    }
}

} // namespace

uint64_t LampClockMs()
{
    static const LONGLONG frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f.QuadPart;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    // Whole seconds and the rest apart, so that the product cannot overflow.
    return static_cast<uint64_t>(now.QuadPart / frequency) * 1000
         + static_cast<uint64_t>(now.QuadPart % frequency) * 1000 / frequency + 1;
}

void ReportLampActivity(HWND window, unsigned iconId)
{
    lastFrameMs.store(LampClockMs());
    unsigned previous = frameIcon.exchange(iconId);
    unsigned differs = previous ^ iconId;
    if (!directionShown.load())
        differs &= ~LAMP_RECEIVED;
    if (differs == 0 && lampLit.load() == 1)
        return; // the GUI thread's timer will see the new frame time
    if (wakePending.exchange(1) == 0 && !PostMessageA(window, WM_LAMP_ACTIVITY, 0, 0))
        wakePending.store(0);
}

void LampStart()
{
    lastFrameMs.store(0);
    frameIcon.store(ICON_IDLE);
    lampLit.store(0);
    TrayLook();
    active = true;
    // Sent even when the image is already idle: starting is a change of state
    // the user asked for.
    TrayIconSetImage(ICON_IDLE);
    shownLamp = ICON_IDLE;
    lastChangeMs = LampClockMs();
}

void LampStop(HWND window)
{
    active = false;
    lampLit.store(0);
    if (timerSet) {
        KillTimer(window, LAMP_TIMER_ID);
        timerSet = false;
    }
    TrayIconSetImage(ICON_STOPPED);
    shownLamp = ICON_STOPPED;
    lastChangeMs = LampClockMs();
}

LRESULT OnLampActivity(HWND window, WPARAM, LPARAM)
{
    // Cleared first, so that a report after this point posts again.
    wakePending.store(0);
    if (active)
        Refresh(window);
    return 0;
}

LRESULT OnLampTimer(HWND window, WPARAM timerId, LPARAM)
{
    if (timerId != LAMP_TIMER_ID)
        return 0;
    if (!active || !timerSet) {
        // An expiry already queued when the timer was killed.
        return 0;
    }
    // An expiry queued before a newer frame re-armed the timer is harmless:
    // the times decide, so the colour still stays its full lamp time.
    Refresh(window);
    return 0;
}

bool LampTimerRunning()
{
    return timerSet;
}
