// Monitoring's decisions: for each state and event, with the facts the GUI
// thread gathers, what follows (the state, the lamp, the tip, the rate tick,
// a run ended or started) written out as one line.
#include <gtest/gtest.h>
#include <string>
#include <utility>
#include <vector>
#include "monitor/monitor_steps.h"

namespace {

const Monitoring OFF = Monitoring::Off;
const Monitoring CAPTURING = Monitoring::Capturing;
const Monitoring NONE = Monitoring::NoConnection;

// Facts as letters: c changing, a automatic, n answered, t target,
// r target running, l run lives, s stranded run, y retry, u after Setup,
// d the log's disk almost full.
MonitorFacts FactsOf(const char* letters)
{
    MonitorFacts f = {};
    for (const char* p = letters; *p != '\0'; ++p) {
        switch (*p) {
        case 'c': f.changing = true; break;
        case 'a': f.automatic = true; break;
        case 'n': f.answered = true; break;
        case 't': f.target = true; break;
        case 'r': f.targetRunning = true; break;
        case 'l': f.runLives = true; break;
        case 's': f.strandedRun = true; break;
        case 'y': f.retry = true; break;
        case 'u': f.afterSetup = true; break;
        case 'd': f.spaceLow = true; break;
        default: ADD_FAILURE() << "no fact " << *p;
        }
    }
    return f;
}

std::string Describe(const MonitorStep& s)
{
    const char* states[] = { "off", "capturing", "no connection" };
    const char* lamps[] = { "", " lamp idle", " lamp stopped" };
    const char* tips[] = { "", " tip name", " tip \"No connection\"", " tip plain" };
    const char* ticks[] = { "", " tick rates", " tick quiet", " tick off" };
    std::string text = states[static_cast<int>(s.next)];
    text += lamps[static_cast<int>(s.lamp)];
    text += tips[static_cast<int>(s.tip)];
    text += ticks[static_cast<int>(s.tick)];
    if (s.keep) text += ", kept";
    if (s.beginHistory) text += ", history anew";
    if (s.endRun) text += ", run ended";
    if (s.reopen) text += ", reopened";
    if (s.renewAddresses) text += ", addresses renewed";
    if (s.startRun) text += ", run started";
    if (s.showStillRunning) text += ", still-running box";
    if (s.logOff) text += ", logging off";
    const char* balloons[] = { "", ", balloon cannot write", ", balloon almost full" };
    text += balloons[static_cast<int>(s.balloon)];
    return text;
}

const char SHOW_CAPTURING[] = "capturing lamp idle tip name tick rates";
const char SHOW_NONE[] = "no connection lamp stopped tip \"No connection\" tick quiet";
const char SHOW_OFF[] = "off lamp stopped tip plain tick off";

} // namespace

TEST(MonitorSteps, EveryStateAndEvent)
{
    using E = MonitorEvent;
    const struct {
        Monitoring state;
        MonitorEvent event;
        const char* facts;
        std::string expected;
    } cases[] = {
        // Monitor start on the chosen adapter.
        { OFF, E::Start, "t", "capturing lamp idle tick rates, history anew, run started" },
        { OFF, E::Start, "", "off" },
        { OFF, E::Start, "ts", "off, still-running box" },
        { OFF, E::Start, "tu", "capturing lamp idle tick rates, run started" },
        { CAPTURING, E::Start, "tl", "capturing" },
        // Monitor start in Automatic mode: the look decides.
        { OFF, E::Start, "ant", std::string(SHOW_CAPTURING) + ", history anew, run started" },
        { OFF, E::Start, "antu", std::string(SHOW_CAPTURING) + ", run started" },
        { OFF, E::Start, "an", std::string(SHOW_NONE) + ", history anew" },
        { OFF, E::Start, "a", std::string(SHOW_NONE) + ", history anew" },
        { OFF, E::Start, "ants", std::string(SHOW_NONE) + ", history anew" },
        { NONE, E::Start, "ant", "no connection" },
        // Monitor stop.
        { CAPTURING, E::Stop, "l", std::string(SHOW_OFF) + ", run ended" },
        { CAPTURING, E::Stop, "al", std::string(SHOW_OFF) + ", run ended" },
        { NONE, E::Stop, "a", SHOW_OFF },
        { NONE, E::Stop, "al", std::string(SHOW_OFF) + ", run ended" },
        { OFF, E::Stop, "", "off" },
        // Whatever comes while a change waits for its run is kept for after it.
        { CAPTURING, E::Resume, "acl", "capturing, kept" },
        { CAPTURING, E::Look, "acl", "capturing, kept" },
        { CAPTURING, E::Start, "cl", "capturing, kept" },
        { CAPTURING, E::Stop, "cl", "capturing, kept" },
        { NONE, E::RunFailed, "acl", "no connection, kept" },
        { OFF, E::Start, "ac", "off, kept" },
        // Automatic mode's look.
        { CAPTURING, E::Look, "antrl", "capturing, addresses renewed" },
        { CAPTURING, E::Look, "antl", std::string(SHOW_CAPTURING) + ", run ended, run started" },
        { CAPTURING, E::Look, "anl", std::string(SHOW_NONE) + ", run ended" },
        { CAPTURING, E::Look, "al", "capturing" },
        { CAPTURING, E::Look, "antls", std::string(SHOW_NONE) + ", run ended" },
        { NONE, E::Look, "an", "no connection" },
        { NONE, E::Look, "a", "no connection" },
        { NONE, E::Look, "ants", "no connection" },
        { NONE, E::Look, "ant", std::string(SHOW_CAPTURING) + ", run started" },
        { NONE, E::Look, "anty", "no connection, run started" },
        { CAPTURING, E::Look, "antly", std::string(SHOW_CAPTURING) + ", run ended, run started" },
        { OFF, E::Look, "ant", "off" },
        // The chosen adapter's look: only its addresses.
        { CAPTURING, E::Look, "nl", "capturing, addresses renewed" },
        { CAPTURING, E::Look, "l", "capturing" },
        { OFF, E::Look, "n", "off" },
        // A wake.
        { CAPTURING, E::Resume, "nl", "capturing, reopened, addresses renewed" },
        { CAPTURING, E::Resume, "antrl", "capturing, reopened, addresses renewed" },
        { CAPTURING, E::Resume, "antl", std::string(SHOW_CAPTURING) + ", run ended, run started" },
        { CAPTURING, E::Resume, "al", "capturing, reopened" },
        { NONE, E::Resume, "ant", std::string(SHOW_CAPTURING) + ", run started" },
        { OFF, E::Resume, "ant", "off" },
        // An automatic run that could not capture.
        { CAPTURING, E::RunFailed, "antl", std::string(SHOW_CAPTURING) + ", run ended, run started" },
        { CAPTURING, E::RunFailed, "anl", std::string(SHOW_NONE) + ", run ended" },
        { NONE, E::RunFailed, "anl", "no connection, run ended" },
        { CAPTURING, E::RunFailed, "l", "capturing" },
        // A quiet try opened its device.
        { NONE, E::RunOpened, "al", SHOW_CAPTURING },
        { NONE, E::RunOpened, "a", "no connection" },
        { CAPTURING, E::RunOpened, "al", "capturing" },
        // The run asked for could not be started.
        { CAPTURING, E::StartFailed, "a", SHOW_NONE },
        { OFF, E::StartFailed, "a", SHOW_NONE },
        { NONE, E::StartFailed, "a", "no connection" },
        { OFF, E::StartFailed, "", "off" },
        // The run could not write the log: logging stops, monitoring goes on.
        { CAPTURING, E::LogFailed, "l", "capturing, logging off, balloon cannot write" },
        { CAPTURING, E::LogFailed, "ald", "capturing, logging off, balloon almost full" },
        { NONE, E::LogFailed, "al", "no connection, logging off, balloon cannot write" },
        { CAPTURING, E::LogFailed, "cl", "capturing, kept" },
        { OFF, E::LogFailed, "", "off" },
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.expected, Describe(NextMonitorStep(c.state, c.event, FactsOf(c.facts))))
            << "state " << static_cast<int>(c.state) << ", event " << static_cast<int>(c.event) << ", facts \""
            << c.facts << "\"";
}

// A device that failed to open is passed over for 10 s after each failure,
// then tried again.
TEST(MonitorSteps, FailedDevicesAreTriedAgainAfterTenSeconds)
{
    // One more than the list holds, A the oldest.
    const std::vector<std::pair<const char*, uint64_t>> seventeen = {
        { "A", 1000 }, { "B", 1000 }, { "C", 1000 }, { "D", 1000 }, { "E", 1000 }, { "F", 1000 },
        { "G", 1000 }, { "H", 1000 }, { "I", 1000 }, { "J", 1000 }, { "K", 1000 }, { "L", 1000 },
        { "M", 1000 }, { "N", 1000 }, { "O", 1000 }, { "P", 1000 }, { "Q", 1000 }
    };
    const struct {
        const char* name;
        std::vector<std::pair<const char*, uint64_t>> failures;
        const char* forgotten;
        const char* device;
        uint64_t nowMs;
        bool due;
    } cases[] = {
        { "never failed", {}, nullptr, "A", 5000, true },
        { "just under 10 s", { { "A", 1000 } }, nullptr, "A", 10999, false },
        { "10 s after", { { "A", 1000 } }, nullptr, "A", 11000, true },
        { "failed again: 10 s from then", { { "A", 1000 }, { "A", 11000 } }, nullptr, "A", 20999, false },
        { "another device failed", { { "B", 1000 } }, nullptr, "A", 1001, true },
        { "opened since", { { "A", 1000 } }, "A", "A", 1001, true },
        { "the oldest of 17 is dropped", seventeen, nullptr, "A", 1001, true },
        { "the newest of 17 is kept", seventeen, nullptr, "Q", 1001, false },
    };
    for (const auto& c : cases) {
        FailedDevices failed = {};
        for (const auto& failure : c.failures)
            NoteFailedDevice(&failed, failure.first, failure.second);
        if (c.forgotten != nullptr)
            ForgetFailedDevice(&failed, c.forgotten);
        EXPECT_EQ(c.due, FailedDeviceDue(failed, c.device, c.nowMs)) << c.name;
    }
}
