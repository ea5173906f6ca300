// NetGlow.exe following the network under Wine: two real adapters (veth
// pairs) in a private network namespace (wine-run --private-network, prefix
// "follow"), captured through Wine's own capture library behind the demo
// forwarder, with tcpdump recording the same frames. Each phase changes the
// network as a user's changes, then waits, bounded, for the event that shows
// NetGlow followed. A probe line's addresses tell the adapter it crossed;
// every line awaited is checked whole against one written out here, its time
// from tcpdump's record of the same frame. Skipped, with the reason, where no
// namespace can be made or capture is not allowed.
#include "e2e_common.h"
#include "support/host_shell.h"
#include "support/private_network.h"
#include "support/tray_user.h"

namespace {

const VethAdapter FIRST = { "ngA0", 5, 1 };
const VethAdapter SECOND = { "ngB0", 6, 2 };

enum class Action { NONE, MONITOR_START, RESUME };

enum class Event {
    LINE,          // the first line of a probe across `adapter`, from `source`
    SEND_LINE,     // the first "SEND" line of such a probe
    ONE_BOX_AWAY,  // while the adapter is away for 5 s, exactly one box, `text`
    NO_CONNECTION, // the stopped lamp, "No connection" in the tip, no box
    REOPENED_LINE, // one more open of the capture, then a LINE
};

struct Phase {
    const char* name;
    const char* script; // host commands first (private_network.h)
    Action action;      // then this
    Event event;        // and this is awaited
    const VethAdapter* adapter;
    const char* source;
    const char* text;
};

const Phase CHOSEN[] = {
    { "the chosen adapter is captured", "", Action::NONE, Event::LINE, &FIRST, "10.17.1.1", nullptr },
    { "an address change gives SEND lines from the new address", "readdress ngA0 1 1 9", Action::NONE,
      Event::SEND_LINE, &FIRST, "10.17.1.9", nullptr },
    { "the adapter deleted for 5 s gives exactly one box and the program lives on", "ip link del ngA0",
      Action::NONE, Event::ONE_BOX_AWAY, &FIRST, nullptr, "A PCAP device cannot be opened." },
    { "after it returns, Monitor start captures it again", "", Action::MONITOR_START, Event::LINE, &FIRST,
      "10.17.1.1", nullptr },
};

// Started with the default route on the second adapter and CardName naming
// the first.
const char AUTOMATIC_START[] = "ip route add default via 10.17.2.2 dev ngB0 metric 100";
const Phase AUTOMATIC[] = {
    { "the adapter of the default route is captured, not the one CardName names", "", Action::NONE, Event::LINE,
      &SECOND, "10.17.2.1", nullptr },
    { "the route moves and the capture follows", "ip route add default via 10.17.1.2 dev ngA0 metric 50",
      Action::NONE, Event::LINE, &FIRST, "10.17.1.1", nullptr },
    { "the routed adapter is deleted and the capture follows the other", "ip link del ngA0", Action::NONE,
      Event::LINE, &SECOND, "10.17.2.1", nullptr },
    { "all routes removed: the stopped lamp, \"No connection\" in the tip, no box",
      "ip route flush exact 0.0.0.0/0", Action::NONE, Event::NO_CONNECTION, nullptr, nullptr, nullptr },
    { "a route back resumes capture", "ip route add default via 10.17.2.2 dev ngB0 metric 100", Action::NONE,
      Event::LINE, &SECOND, "10.17.2.1", nullptr },
    { "a resume from sleep reopens the capture and lines keep coming", "", Action::RESUME,
      Event::REOPENED_LINE, &SECOND, "10.17.2.1", nullptr },
    { "an address change on the adapter in use gives SEND lines from the new address",
      "readdress ngB0 2 1 9 && ip route add default via 10.17.2.2 dev ngB0 metric 100", Action::NONE,
      Event::SEND_LINE, &SECOND, "10.17.2.9", nullptr },
};

const DWORD EVENT_BOUND_MS = 15000;
const DWORD AWAY_MS = 5000;
// Longer than the program's check period (2 s): a box or an open that a
// check would bring has come by then.
const DWORD QUIET_MS = 3000;

class NetworkFollow : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string why = WhyNoPrivateNetwork();
        if (!why.empty())
            GTEST_SKIP() << why;
        // Both cases run in the same namespace: each starts from no adapter.
        ASSERT_EQ(0, NetworkScript("ip link del ngA0 2>/dev/null; ip link del ngB0 2>/dev/null\n"
                                   "ip route flush exact 0.0.0.0/0"));
        ASSERT_TRUE(MakeAdapter(FIRST));
        ASSERT_TRUE(MakeAdapter(SECOND));
        why = WhyNoCaptureOn(FIRST.name);
        if (!why.empty())
            GTEST_SKIP() << why;
        ASSERT_TRUE(tcpdump.Start("any", "udp")) << "tcpdump did not start";
    }

    void StartLogging(const Keys& keys)
    {
        ASSERT_TRUE(WriteWholeFile(ng.settingsPath, SettingsFile(keys)));
        // For NetGlow's opens alone, not for this process's own checks.
        SetEnvironmentVariableA("NETGLOW_DEMO_OPEN_RECORD", opensPath.c_str());
        bool started = ng.Start();
        SetEnvironmentVariableA("NETGLOW_DEMO_OPEN_RECORD", nullptr);
        ASSERT_TRUE(started);
        ASSERT_NE(nullptr, ng.WaitForMainWindow());
        ASSERT_TRUE(ng.Command(CMD_LOG_START));
    }

    void Quit()
    {
        ng.Command(CMD_QUIT);
        EXPECT_EQ(0, ng.WaitForExit());
    }

    size_t Opens() { return CountLines(ReadFileBytes(opensPath)); }

    // A later phase builds on the network an earlier one left, not on what
    // the program did with it: every phase runs, each failure is reported.
    void Run(const Phase* phases, size_t count)
    {
        for (size_t i = 0; i < count; ++i) {
            const Phase& phase = phases[i];
            SCOPED_TRACE(phase.name);
            ASSERT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitForSingleObject(ng.process, 0)) << "NetGlow has ended";
            size_t opensBefore = Opens();
            DWORD began = GetTickCount();
            if (*phase.script != '\0') {
                ASSERT_EQ(0, NetworkScript(phase.script));
            }
            // A stop ends logging too: a user starts both again.
            if (phase.action == Action::MONITOR_START) {
                EXPECT_TRUE(ng.Command(CMD_MONITOR_START));
                EXPECT_TRUE(ng.Command(CMD_LOG_START));
            }
            if (phase.action == Action::RESUME) {
                DWORD_PTR result = 0;
                EXPECT_NE(0, SendMessageTimeoutA(ng.window, WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC, 0,
                                                 SMTO_NORMAL, EVENT_BOUND_MS, &result));
            }
            switch (phase.event) {
            case Event::LINE:
            case Event::SEND_LINE:
                ExpectProbeLine(phase);
                break;
            case Event::REOPENED_LINE: {
                EXPECT_TRUE(WaitFor([&] { return Opens() > opensBefore; }, EVENT_BOUND_MS))
                    << "the capture was not reopened";
                ExpectProbeLine(phase);
                EXPECT_GE(opensBefore + 1, Opens()) << "the capture was opened more than once";
                break;
            }
            case Event::ONE_BOX_AWAY:
                ExpectOneBoxWhileAway(phase, began);
                break;
            case Event::NO_CONNECTION: {
                // Wine's capture library keeps no record of the program's calls.
                EXPECT_TRUE(WaitForLampOnScreen(ICON_STOPPED, EVENT_BOUND_MS)) << "the lamp shows " << LampOnScreen();
                std::string tip;
                EXPECT_TRUE(WaitFor([&] { return (tip = TrayIconTip()) == "No connection"; }, EVENT_BOUND_MS)) << tip;
                SeenMessageBox box;
                if (WaitForMessageBoxOf(ng.processId, &box, QUIET_MS)) {
                    ADD_FAILURE() << "message box: " << box.text;
                    AnswerMessageBox(box, IDOK);
                }
                break;
            }
            }
        }
    }

    void ExpectProbeLine(const Phase& phase)
    {
        const std::string source = phase.source;
        const std::string peer = phase.adapter->PeerAddress();
        std::vector<std::string> parts = { "\tSend Address=" + source + "\tRecv Address=" + peer + "\r\n" };
        if (phase.event == Event::SEND_LINE)
            parts.push_back("\tSEND\t");
        std::string line;
        unsigned port = 0;
        if (!probes.AwaitLine({ FIRST, SECOND }, *phase.adapter, parts, &line, &port, EVENT_BOUND_MS)) {
            ADD_FAILURE() << "no line of a probe across " << phase.adapter->name << " from " << source
                          << (phase.event == Event::SEND_LINE ? " logged SEND" : "") << " within 15 s; the last "
                          << "probe line: " << probes.LastProbeLine();
            return;
        }
        uint32_t seconds = 0;
        ASSERT_TRUE(CaptureTimeOf(tcpdump.capturePath, port, &seconds)) << "tcpdump did not see port " << port;
        EXPECT_EQ("Time=" + LocalTimeText(seconds) + "\tSEND\tIPv4\tProtocol=UDP\tPort=" + std::to_string(port)
                      + "\tSend Address=" + source + "\tRecv Address=" + peer + "\r\n",
                  line);
    }

    void ExpectOneBoxWhileAway(const Phase& phase, DWORD began)
    {
        SeenMessageBox box;
        bool shown = WaitForMessageBoxOf(ng.processId, &box, EVENT_BOUND_MS);
        EXPECT_TRUE(shown) << "no message box";
        if (shown) {
            EXPECT_EQ(phase.text, box.text);
        }
        // The outage's own length, a part of the scenario.
        DWORD away = GetTickCount() - began;
        if (away < AWAY_MS)
            Sleep(AWAY_MS - away);
        ASSERT_TRUE(MakeAdapter(*phase.adapter));
        EXPECT_EQ(shown ? 1 : 0, CountMessageBoxesOf(ng.processId));
        if (shown) {
            EXPECT_TRUE(AnswerMessageBox(box, IDOK));
        }
        if (WaitForMessageBoxOf(ng.processId, &box, QUIET_MS)) {
            ADD_FAILURE() << "a second message box: " << box.text;
            AnswerMessageBox(box, IDOK);
        }
        EXPECT_TRUE(ng.Answers()) << "NetGlow does not answer";
    }

    NetGlowProcess ng;
    std::string opensPath = ng.folder + "opens.txt";
    HostTcpdump tcpdump;
    ProbeTraffic probes{ ng.logPath };
};

TEST_F(NetworkFollow, ChosenAdapter)
{
    StartLogging(StandardKeys(FIRST.name, "0", "1"));
    Run(CHOSEN, sizeof CHOSEN / sizeof CHOSEN[0]);
    Quit();
}

TEST_F(NetworkFollow, Automatic)
{
    ASSERT_EQ(0, NetworkScript(AUTOMATIC_START));
    StartLogging(StandardKeys(FIRST.name, "0", "1", "1"));
    Run(AUTOMATIC, sizeof AUTOMATIC / sizeof AUTOMATIC[0]);
    Quit();
}

} // namespace

