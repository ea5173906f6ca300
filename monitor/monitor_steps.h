// What monitoring does on each event, decided from plain facts so that every
// state and event can be checked without a window, a device or a network.
// The GUI thread gathers the facts, asks once per event and carries the
// step out in the order of its fields.
#pragma once
#include <cstdint>

// What the user sees: the lamp dark (stopped image), the lamp on a capture,
// or Automatic mode without a connection to capture.
enum class Monitoring { Off, Capturing, NoConnection };

enum class MonitorEvent {
    Start,       // Monitor start: the menu, start-up, Setup's "start now"
    Stop,        // Monitor stop: the menu, a failed chosen run, Setup, Quit, end of session
    Look,        // the look every 2 s, or the system reported a change
    Resume,      // the machine woke: the open handle may be stale
    RunFailed,   // the automatic run in progress could not capture its device
    RunOpened,   // the quiet try in progress opened its device
    StartFailed, // the run the last step asked for could not be started
    LogFailed    // the run in progress could not write the connection log
};

struct MonitorFacts {
    bool changing;       // a change is under way: this event came from inside its wait
    bool automatic;      // CardAuto 1: the connection in use, else the chosen adapter
    bool answered;       // the system's tables could be read for this look
    bool target;         // a device to capture: the connection in use, or the chosen row
    bool targetRunning;  // the run in progress captures that device
    bool runLives;       // a run is in progress
    bool strandedRun;    // an ended run's thread has not ended yet
    bool retry;          // the target failed to open before: try it without showing it
    bool afterSetup;     // Setup stopped monitoring and now starts it again
    bool spaceLow;       // the log was stopped before its disk filled, not by a failed write
};

enum class LampShown { Keep, Idle, Stopped };
enum class TipShown { Keep, Name, NoConnection, Plain };
// The rate tick: the run's rates, quiet seconds while there is no
// connection (the graph goes on), or none while monitoring is off.
enum class RateTick { Keep, Rates, Quiet, Off };
// The balloon that tells why logging stopped by itself.
enum class LogBalloon { None, CannotWrite, SpaceLow };

struct MonitorStep {
    Monitoring next;
    bool keep;            // handle the event once the change under way is over
    bool beginHistory;    // the graph's history and totals begin anew
    bool forgetFailures;  // every device may be tried again at once
    bool endRun;          // end the run in progress (waits within the stop's bound)
    bool startRun;        // then start one on the target
    bool reopen;          // the run opens its device afresh
    bool renewAddresses;  // the run reads the adapter's addresses anew
    bool showStillRunning; // tell the user an earlier run still blocks a start
    bool logOff;          // logging stops; monitoring goes on
    LogBalloon balloon;
    LampShown lamp;
    TipShown tip;
    RateTick tick;
};

MonitorStep NextMonitorStep(Monitoring state, MonitorEvent event, const MonitorFacts& facts);

// Devices of Automatic mode that could not be opened: each is passed over
// for a while and then tried again, so that a driver restart or upgrade
// does not leave "No connection" for good.
enum {
    FAILED_DEVICE_MAX = 16,
    FAILED_DEVICE_NAME_SIZE = 260,
    FAILED_DEVICE_RETRY_MS = 10000
};

struct FailedDevices {
    int count;
    char name[FAILED_DEVICE_MAX][FAILED_DEVICE_NAME_SIZE];
    uint64_t failedAtMs[FAILED_DEVICE_MAX];
};

// Notes a failure at nowMs (again: the time is renewed); the oldest entry
// goes when the list is full.
void NoteFailedDevice(FailedDevices* failed, const char* device, uint64_t nowMs);
void ForgetFailedDevice(FailedDevices* failed, const char* device);
bool HasFailedDevice(const FailedDevices& failed, const char* device);
// False while the device's last failure is less than the retry time old.
bool FailedDeviceDue(const FailedDevices& failed, const char* device, uint64_t nowMs);
