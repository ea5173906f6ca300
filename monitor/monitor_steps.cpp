#include "monitor/monitor_steps.h"
#include <cstring>

namespace {

MonitorStep Stay(Monitoring state)
{
    MonitorStep step;
    std::memset(&step, 0, sizeof step);
    step.next = state;
    step.lamp = LampShown::Keep;
    step.tip = TipShown::Keep;
    step.tick = RateTick::Keep;
    step.balloon = LogBalloon::None;
    return step;
}

// What the user sees follows the state. A new run shows itself even in the
// state it leaves (another connection: the idle lamp, its name, its rates
// from zero); without one, the same state sends nothing again.
MonitorStep Enter(MonitorStep step, Monitoring from, Monitoring to)
{
    step.next = to;
    if (from == to && !(to == Monitoring::Capturing && step.startRun))
        return step;
    switch (to) {
    case Monitoring::Off:
        step.lamp = LampShown::Stopped;
        step.tip = TipShown::Plain;
        step.tick = RateTick::Off;
        break;
    case Monitoring::Capturing:
        step.lamp = LampShown::Idle;
        step.tip = TipShown::Name;
        step.tick = RateTick::Rates;
        break;
    case Monitoring::NoConnection:
        step.lamp = LampShown::Stopped;
        step.tip = TipShown::NoConnection;
        step.tick = RateTick::Quiet;
        break;
    }
    return step;
}

// Automatic mode: the capture goes where the connection in use is.
MonitorStep Follow(Monitoring state, const MonitorFacts& f, MonitorStep step)
{
    // A query that failed says nothing about the network: what runs, runs.
    if (!f.answered)
        return state == Monitoring::Off ? Enter(step, state, Monitoring::NoConnection) : step;
    if (f.target && f.targetRunning) {
        step.renewAddresses = true;
        return step;
    }
    step.endRun = f.runLives;
    step.reopen = false; // the run ends: nothing to reopen
    // An earlier run still blocked in the library: no capture until it has
    // ended; a later look tries again.
    if (!f.target || f.strandedRun)
        return Enter(step, state, Monitoring::NoConnection);
    step.startRun = true;
    // A device that failed before is tried quietly: "No connection" stays
    // until it has opened.
    if (f.retry && state != Monitoring::Capturing)
        return Enter(step, state, Monitoring::NoConnection);
    return Enter(step, state, Monitoring::Capturing);
}

} // namespace

MonitorStep NextMonitorStep(Monitoring state, MonitorEvent event, const MonitorFacts& f)
{
    MonitorStep step = Stay(state);
    if (f.changing) {
        step.keep = true;
        return step;
    }
    bool on = state != Monitoring::Off;
    switch (event) {
    case MonitorEvent::Start:
        if (on)
            return step;
        step.beginHistory = !f.afterSetup;
        if (f.automatic)
            return Follow(state, f, step);
        if (!f.target) {
            step.beginHistory = false;
            return step;
        }
        if (f.strandedRun) {
            step.beginHistory = false;
            step.showStillRunning = true;
            return step;
        }
        step.startRun = true;
        step = Enter(step, state, Monitoring::Capturing);
        // The tip names the chosen adapter already (start-up and Setup set
        // it); the rates add to it from the first second on.
        step.tip = TipShown::Keep;
        return step;
    case MonitorEvent::Stop:
        if (!on && !f.runLives)
            return step;
        step.endRun = f.runLives;
        return Enter(step, state, Monitoring::Off);
    case MonitorEvent::Look:
        if (!on)
            return step;
        if (f.automatic)
            return Follow(state, f, step);
        step.renewAddresses = f.answered && f.runLives;
        return step;
    case MonitorEvent::Resume:
        if (!on)
            return step;
        step.reopen = f.runLives;
        if (f.automatic)
            return Follow(state, f, step);
        step.renewAddresses = f.answered && f.runLives;
        return step;
    case MonitorEvent::RunFailed:
        if (!on || !f.automatic)
            return step;
        return Follow(state, f, step);
    case MonitorEvent::RunOpened:
        if (state != Monitoring::NoConnection || !f.runLives)
            return step;
        return Enter(step, state, Monitoring::Capturing);
    case MonitorEvent::StartFailed:
        // Automatic mode looks again in 2 s; a chosen adapter stays off.
        return Enter(step, state, f.automatic ? Monitoring::NoConnection : Monitoring::Off);
    case MonitorEvent::LogFailed:
        // A run that has news lives, but a stop may have ended it since.
        if (!on || !f.runLives)
            return step;
        step.logOff = true;
        step.balloon = f.spaceLow ? LogBalloon::SpaceLow : LogBalloon::CannotWrite;
        return step;
    }
    return step;
}

void NoteFailedDevice(FailedDevices* failed, const char* device, uint64_t nowMs)
{
    for (int i = 0; i < failed->count; ++i) {
        if (std::strcmp(failed->name[i], device) == 0) {
            failed->failedAtMs[i] = nowMs;
            return;
        }
    }
    if (failed->count == FAILED_DEVICE_MAX) {
        std::memmove(failed->name[0], failed->name[1], sizeof failed->name[0] * (FAILED_DEVICE_MAX - 1));
        std::memmove(&failed->failedAtMs[0], &failed->failedAtMs[1], sizeof failed->failedAtMs[0] * (FAILED_DEVICE_MAX - 1));
        --failed->count;
    }
    std::strncpy(failed->name[failed->count], device, FAILED_DEVICE_NAME_SIZE - 1);
    failed->name[failed->count][FAILED_DEVICE_NAME_SIZE - 1] = '\0';
    failed->failedAtMs[failed->count] = nowMs;
    ++failed->count;
}

void ForgetFailedDevice(FailedDevices* failed, const char* device)
{
    for (int i = 0; i < failed->count; ++i) {
        if (std::strcmp(failed->name[i], device) == 0) {
            std::memmove(failed->name[i], failed->name[i + 1], sizeof failed->name[0] * (failed->count - 1 - i));
            std::memmove(&failed->failedAtMs[i], &failed->failedAtMs[i + 1],
                         sizeof failed->failedAtMs[0] * (failed->count - 1 - i));
            --failed->count;
            return;
        }
    }
}

bool HasFailedDevice(const FailedDevices& failed, const char* device)
{
    for (int i = 0; i < failed.count; ++i)
        if (std::strcmp(failed.name[i], device) == 0)
            return true;
    return false;
}

bool FailedDeviceDue(const FailedDevices& failed, const char* device, uint64_t nowMs)
{
    for (int i = 0; i < failed.count; ++i)
        if (std::strcmp(failed.name[i], device) == 0)
            return nowMs - failed.failedAtMs[i] >= FAILED_DEVICE_RETRY_MS;
    return true;
}
