// The main window's creation offers the tray icon "WaitCount" times,
// "WaitTime" ms apart, and closes the window when the shell keeps refusing it.
// Wine's notification area accepts every icon, so the test's own stand-in for
// Shell_NotifyIconA refuses as many adds as the case says; a refused add may
// still have placed the icon (the shell timed out at logon), and only a
// modify then tells.
#include <gtest/gtest.h>
#include <fstream>
#include <tuple>
#include <vector>
#include "core/app_state.h"
#include "app/main_window_win.h"
#include "monitor/capture_win.h"
#include "monitor/monitoring_win.h"
#include "monitor/rates_win.h"
#include "monitor/traffic_history.h"
#include "res/resource.h"
#include "support/adapter_doubles.h"
#include "support/message_boxes.h"
#include "support/notify_recorder.h"
#include "support/system_stand_ins.h"
#include "tray/tray_icon_win.h"
#include "support/test_files.h"

namespace {

// The settings file as it stood at each call.
std::vector<std::string> settingsSeen;
int refusals;
bool refusedAddTimesOut; // a refused add still places the icon
bool iconThere;

void SeeSettings(const NotifyCall&, PNOTIFYICONDATAA)
{
    settingsSeen.push_back(ReadFileBytes(app.settingsPath));
}

BOOL WINAPI RefusingShell(DWORD message, PNOTIFYICONDATAA)
{
    switch (message) {
    case NIM_ADD:
        if (refusals-- > 0) {
            iconThere = iconThere || refusedAddTimesOut;
            return FALSE;
        }
        if (iconThere)
            return FALSE;
        iconThere = true;
        return TRUE;
    case NIM_MODIFY:
        return iconThere;
    case NIM_DELETE:
        iconThere = false;
        return TRUE;
    }
    return FALSE;
}

void ClearCalls()
{
    notify::Clear();
    settingsSeen.clear();
}

class MainWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        static bool registered = RegisterMainWindowClass(GetModuleHandleA(nullptr));
        ASSERT_TRUE(registered);
        ASSERT_TRUE(notify::Record(RefusingShell, SeeSettings));
        Reset();
    }
    // A fresh process whose shell has no icon and takes every add.
    static void Reset()
    {
        ResetAppState();
        refusals = 0;
        refusedAddTimesOut = false;
        iconThere = false;
        ClearCalls();
    }
    void TearDown() override { notify::Record(); } // the real shell answers again
    // The main window of a run whose tray registration has ended.
    HWND Create()
    {
        HWND window = CreateMainWindow(app.instance);
        app.mainWindow = window;
        return window;
    }
    static void Destroy(HWND window)
    {
        app.startingUp = 0;
        DestroyWindow(window);
        MSG quit;
        PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
    }
};

TEST_F(MainWindow, OffersTheIconWaitCountTimesWaitTimeApartThenCloses)
{
    const int WAIT_TIME = 150, WAIT_COUNT = 3, TICK = 16; // a tick of the clock may shorten a pause
    const struct {
        int refused;
        bool timesOut;
        std::vector<DWORD> expected;
    } cases[] = {
        { 0, false, { NIM_ADD } },
        { 2, false, { NIM_ADD, NIM_MODIFY, NIM_ADD, NIM_MODIFY, NIM_ADD } },
        // Given up: then the give-up's delete and the window's end.
        { 3, false, { NIM_ADD, NIM_MODIFY, NIM_ADD, NIM_MODIFY, NIM_ADD, NIM_MODIFY, NIM_DELETE, NIM_DELETE } },
        // The first add timed out but placed the icon; every later add fails.
        { 3, true, { NIM_ADD, NIM_MODIFY } },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.refused << (c.timesOut ? " timing out" : ""));
        Reset();
        app.startingUp = 1; // as in WinMain: giving up must still close the window
        std::string settings = MakeTempFolder("main-window") + "NetGlow.ini";
        lstrcpynA(app.settingsPath, settings.c_str(), sizeof app.settingsPath);
        std::ofstream(settings, std::ios::binary) << "[Option]\r\nWaitTime=" << WAIT_TIME
                                                  << "\r\nWaitCount=" << WAIT_COUNT << "\r\nWaitFlag=1\r\n";
        refusals = c.refused;
        refusedAddTimesOut = c.timesOut;
        DWORD start = GetTickCount();
        HWND window = CreateMainWindow(app.instance);
        DWORD took = GetTickCount() - start;

        bool givenUp = c.refused == WAIT_COUNT && !c.timesOut;
        int pauses = c.timesOut ? 0 : c.refused;
        EXPECT_EQ(c.expected, notify::Messages());
        std::vector<double> addTimes;
        for (const NotifyCall& call : notify::Calls())
            if (call.message == NIM_ADD)
                addTimes.push_back(call.atMs);
        for (size_t i = 1; i < addTimes.size(); ++i) {
            EXPECT_GE(addTimes[i] - addTimes[i - 1], WAIT_TIME - TICK) << i;
            EXPECT_LT(addTimes[i] - addTimes[i - 1], WAIT_TIME + 2000) << i;
        }
        EXPECT_GE(took, DWORD(pauses * (WAIT_TIME - TICK))); // the give-up pauses too
        EXPECT_EQ(1, app.trayIconAdded.load()); // whatever the outcome
        EXPECT_EQ(givenUp, window == nullptr);
        MSG quit;
        EXPECT_EQ(givenUp, PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != 0);
        if (window != nullptr)
            Destroy(window);
    }
}

// A scaling change that leaves the small-icon size as it was sends the shell
// nothing; a restarted Explorer gets the icon added again, and only that.
TEST_F(MainWindow, ScalingAtTheSameIconSizeChangesNothingAndANewShellGetsTheIconBack)
{
    HWND window = Create();
    ASSERT_NE(nullptr, window);
    TrayIconSetImage(ICON_IDLE);
    ClearCalls();
    SendMessageA(window, WM_DPICHANGED, MAKEWPARAM(96, 96), 0);
    EXPECT_EQ(std::vector<DWORD>{}, notify::Messages());
    SendMessageA(window, RegisterWindowMessageA("TaskbarCreated"), 0, 0);
    EXPECT_EQ(std::vector<DWORD>{ NIM_ADD }, notify::Messages());
    Destroy(window);
}

// Logoff ends a program that starts with Windows without Quit: the settings
// are saved first, then the run is stopped. An end of session that was
// called off changes nothing; one during start-up, when the settings may not
// be read yet, saves nothing. Restart Manager's close and the installer's
// quit message end the program as Quit does, once start-up is over.
TEST_F(MainWindow, EndOfSessionAndTheQuitMessage)
{
    const std::string waitKeys = "[Option]\r\nWaitTime=100\r\nWaitCount=50\r\nWaitFlag=1\r\n";
    const std::string saved = waitKeys
        + "CardName=Ethernet\r\nCardIndex=0\r\nInitOpt=-1\r\nStartOpt=1\r\nNowOpt=0\r\n"
          "ColorSend=1\r\nColorRecv=2\r\nTimeoutP=20\r\n";
    const UINT QUIT = RegisterWindowMessageA("NetGlow.Quit");
    const struct {
        UINT message;
        BOOL ending;
        LPARAM how;
        int startingUp;
        std::vector<DWORD> calls; // the stop's stopped lamp, the icon's removal at Quit
        std::string file;
        bool ends;                // the window is gone, the message loop told to end
        int quitKept;             // Quit waits for the end of start-up
    } cases[] = {
        { WM_ENDSESSION, FALSE, ENDSESSION_LOGOFF, 0, {}, waitKeys, false, 0 },
        { WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, 1, { NIM_MODIFY }, waitKeys, false, 0 },
        { WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, 0, { NIM_MODIFY }, saved, false, 0 },
        // Restart Manager closes the program: saved, then ended as Quit ends it.
        { WM_ENDSESSION, TRUE, ENDSESSION_CLOSEAPP, 0, { NIM_MODIFY, NIM_DELETE, NIM_DELETE }, saved, true, 0 },
        { WM_ENDSESSION, TRUE, ENDSESSION_CLOSEAPP, 1, { NIM_MODIFY }, waitKeys, false, 1 },
        // The installer's quit message: the tray menu's Quit (the loop's end saves).
        { QUIT, 0, 0, 0, { NIM_MODIFY, NIM_DELETE, NIM_DELETE }, waitKeys, true, 0 },
        { QUIT, 0, 0, 1, {}, waitKeys, false, 1 },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << (c.message == QUIT ? "the quit message" : "end of session") << ", ending "
                                        << c.ending << ", how " << c.how << ", starting up " << c.startingUp);
        Reset();
        std::string settings = MakeTempFolder("end-session") + "NetGlow.ini";
        lstrcpynA(app.settingsPath, settings.c_str(), sizeof app.settingsPath);
        std::ofstream(settings, std::ios::binary) << waitKeys;
        HWND window = Create();
        ASSERT_NE(nullptr, window);
        app.adapters.count = 1;
        lstrcpynA(app.adapters.deviceName[0], "\\Device\\NPF_{X}", ADAPTER_TEXT_SIZE);
        lstrcpynA(app.adapters.ipv4Address[0], "192.168.1.10", ADAPTER_TEXT_SIZE);
        lstrcpynA(app.CardName, "Ethernet", sizeof app.CardName);
        app.selectedIndex = 0;
        app.InitOpt = -1;
        app.StartOpt = 1;
        SetFakeCaptureDevices({ "device=\\Device\\NPF_{X}" });
        TrayIconSetTip(PlainTip()); // as start-up leaves it
        StartMonitoring();
        ASSERT_EQ(1, app.monitoring.load());
        ClearCalls();
        app.startingUp = c.startingUp;

        SendMessageA(window, c.message, c.ending, c.how);
        EXPECT_EQ(c.file, ReadFileBytes(settings));
        EXPECT_EQ(c.ending || c.ends ? 0 : 1, app.monitoring.load());
        EXPECT_EQ(c.ends, !IsWindow(window));
        EXPECT_EQ(c.quitKept, app.quitRequested.load());
        EXPECT_EQ(c.calls, notify::Messages());
        // The stop came after the save.
        EXPECT_EQ(std::vector<std::string>(c.calls.size(), c.file), settingsSeen);
        Destroy(window);
        EXPECT_EQ(0, app.monitoring.load());
    }
}

std::vector<std::tuple<HWND, UINT, DWORD, void*>> filterCalls;
BOOL WINAPI RecordingMessageFilter(HWND window, UINT message, DWORD action, void* change)
{
    filterCalls.emplace_back(window, message, action, change);
    return TRUE;
}

// An elevated NetGlow would never hear of a restarted Explorer, nor of a
// second start: UIPI drops messages from unelevated senders. Both are let
// through. Wine has no UIPI, so only the calls can be seen, through the
// stand-in GetProcAddress hands out for the function (not every system has it).
TEST_F(MainWindow, ShellSecondStartAndQuitMessagesPassTheElevationFilter)
{
    ASSERT_TRUE(StandInEntries(
        { { "ChangeWindowMessageFilterEx", reinterpret_cast<FARPROC>(RecordingMessageFilter), "user32.dll" } }));
    filterCalls.clear();
    HWND window = Create();
    StandInEntries({});
    ASSERT_NE(nullptr, window);
    const DWORD MSGFLT_ALLOW_ACTION = 1;
    EXPECT_EQ((std::vector<std::tuple<HWND, UINT, DWORD, void*>>{
                  { window, RegisterWindowMessageA("TaskbarCreated"), MSGFLT_ALLOW_ACTION, nullptr },
                  { window, RegisterWindowMessageA("NetGlow.AlreadyRunning"), MSGFLT_ALLOW_ACTION, nullptr },
                  { window, RegisterWindowMessageA("NetGlow.Quit"), MSGFLT_ALLOW_ACTION, nullptr } }),
              filterCalls);
    Destroy(window);
}

// A second start asks the running copy to say so from its icon: a balloon in
// a record large enough to carry its text. The icon's other calls keep the
// first-version record.
TEST_F(MainWindow, SecondStartShowsABalloonFromTheIcon)
{
    HWND window = Create();
    ASSERT_NE(nullptr, window);
    ClearCalls();
    SendMessageA(window, RegisterWindowMessageA("NetGlow.AlreadyRunning"), 0, 0);
    ASSERT_EQ(std::vector<DWORD>{ NIM_MODIFY }, notify::Messages());
    const NOTIFYICONDATAA balloon = notify::Calls()[0].record;
    EXPECT_EQ(sizeof(void*) == 8 ? 504u : 488u, balloon.cbSize); // up to szInfoTitle and dwInfoFlags
    EXPECT_EQ(window, balloon.hWnd);
    EXPECT_EQ(128u, balloon.uID);
    EXPECT_EQ(0x10u, balloon.uFlags); // NIF_INFO alone: image and tip stay as they are
    EXPECT_STREQ("NetGlow is already running.", balloon.szInfo);
    EXPECT_STREQ("NetGlow", balloon.szInfoTitle);
    EXPECT_EQ(1u, balloon.dwInfoFlags); // NIIF_INFO
    TrayIconSetImage(ICON_IDLE);
    std::vector<NotifyCall> calls = notify::Calls();
    ASSERT_EQ(2u, calls.size());
    EXPECT_EQ(sizeof(void*) == 8 ? 104u : 88u, calls[1].record.cbSize);
    EXPECT_EQ(7u, calls[1].record.uFlags);
    Destroy(window);
}


// Automatic mode with the program's own window. The system's route table is
// the phase's (a default route on the loopback adapter, none, or a query
// that fails), through a stand-in GetProcAddress hands out; the fake capture
// library lists the loopback adapter's device.
enum class Routes { LOOPBACK, OTHER, NONE, QUERY_FAILS };
Routes routesNow = Routes::LOOPBACK;
int routeQueries = 0;
MIB_IPFORWARD_TABLE2 routeTable;
// The interface of the default route: the loopback adapter's, the other's.
NET_IFINDEX routeOn[2];

DWORD WINAPI RouteTableStandIn(ADDRESS_FAMILY, PMIB_IPFORWARD_TABLE2* table)
{
    ++routeQueries;
    if (routesNow == Routes::QUERY_FAILS)
        return ERROR_NOT_ENOUGH_MEMORY;
    routeTable.NumEntries = routesNow == Routes::NONE ? 0 : 1;
    routeTable.Table[0].InterfaceIndex = routeOn[routesNow == Routes::OTHER ? 1 : 0];
    *table = &routeTable;
    return NO_ERROR;
}

VOID WINAPI KeepRouteTable(PVOID) {}

struct SystemAdapterSeen {
    std::string device, name;
    DWORD index = 0;
};

// Wine's loopback adapter and another with an IPv4 address, as the IP
// Helper reports them.
bool FindAdapters(SystemAdapterSeen* loopback, SystemAdapterSeen* other)
{
    std::vector<unsigned char> buffer;
    for (auto* adapter = IpHelperAdapters(AF_INET, &buffer); adapter != nullptr; adapter = adapter->Next) {
        bool isLoopback = adapter->IfType == IF_TYPE_SOFTWARE_LOOPBACK;
        SystemAdapterSeen* seen = isLoopback ? loopback : other;
        if (!seen->device.empty() || (!isLoopback && adapter->FirstUnicastAddress == nullptr))
            continue;
        char name[500] = "";
        WideCharToMultiByte(CP_ACP, 0, adapter->FriendlyName, -1, name, sizeof name, nullptr, nullptr);
        seen->device = std::string("\\Device\\NPF_") + adapter->AdapterName;
        seen->name = name;
        seen->index = adapter->IfIndex;
    }
    return !loopback->device.empty() && !other->device.empty();
}

int Opens()
{
    return CountCalls(CallsPath(), "pcap_create");
}

// The lamp and the tip last sent to the shell.
int LastLamp()
{
    int lamp = 0;
    for (const NotifyCall& call : notify::Calls())
        if (call.lamp != 0)
            lamp = call.lamp;
    return lamp;
}

std::string LastTip()
{
    std::string tip;
    for (const NotifyCall& call : notify::Calls())
        if (call.message == NIM_MODIFY && (call.record.uFlags & NIF_TIP))
            tip = call.record.szTip;
    return tip;
}

int QuietSeconds()
{
    RateSample samples[HISTORY_POINTS];
    int count = HistorySamples(RatesHistory(), SPAN_MINUTE, samples);
    int quiet = 0;
    for (int i = 0; i < count; ++i)
        quiet += samples[i].sent == 0 && samples[i].received == 0;
    return quiet;
}

HWND stopWindow;
// A wake while Monitor stop waits for the stuck run: Wine never sends one.
void SendWakeDuringTheStop(void*)
{
    if (WaitFor([] { return CountCalls(CallsPath(), "pcap_breakloop") >= 1; }, 10000))
        SendMessageTimeoutA(stopWindow, WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC, 0, SMTO_NORMAL, 10000, nullptr);
}

enum class Step {
    START,               // Monitor start, once an earlier stuck run has ended
    STOP_WITH_WAKE,      // Monitor stop, a wake sent to the window while it waits
    LOOK,                // the system reports a change
    LOOK_THEN_FAIL,      // a look starts a run whose open fails
    AWAIT_RETRY,         // the failed device is tried again, at least 10 s later
};

struct AutomaticPhase {
    const char* name;
    Routes routes;
    const char* control; // the fake library's control line beyond the device
    Step step;
    int opens;           // pcap_create calls during the phase
    bool runLives;
    int lamp;            // the lamp last sent during the phase, 0: none
    const char* tip;     // the tip last sent ("": none); null: the routed adapter's name
};

// The last time the library had not been asked to open yet: the product's
// failure of that open came later.
struct OpenWatch {
    int before;
    double lastMissMs;
};

bool OpenedAgain(void* arg)
{
    OpenWatch* watch = static_cast<OpenWatch*>(arg);
    double now = CounterMs();
    if (Opens() > watch->before)
        return true;
    watch->lastMissMs = now;
    return false;
}

TEST_F(MainWindow, AutomaticModeFollowsTheRoutesThroughOneStateChange)
{
    SystemAdapterSeen loopback, other;
    if (!FindAdapters(&loopback, &other))
        GTEST_SKIP() << "the IP Helper reports no loopback adapter, or no other with an IPv4 address";
    routeTable.Table[0].DestinationPrefix.Prefix.si_family = AF_INET;
    routeTable.Table[0].DestinationPrefix.PrefixLength = 0;
    routeOn[0] = loopback.index;
    routeOn[1] = other.index;
    ASSERT_TRUE(StandInEntries({ { "GetIpForwardTable2", reinterpret_cast<FARPROC>(RouteTableStandIn) },
                                 { "FreeMibTable", reinterpret_cast<FARPROC>(KeepRouteTable) } }));
    HWND window = Create();
    ASSERT_NE(nullptr, window);
    app.CardAuto = 1;
    app.TimeoutP = 20;
    stopWindow = window;

    const AutomaticPhase phases[] = {
        { "Monitor start captures the connection in use (a library that will not let go)", Routes::LOOPBACK,
          "ignore_break=1", Step::START, 1, true, ICON_IDLE, nullptr },
        { "a wake sent while Monitor stop waits for the stuck run starts no second run", Routes::LOOPBACK,
          "ignore_break=1", Step::STOP_WITH_WAKE, 0, false, ICON_STOPPED, "NetGlow" },
        { "Monitor start works again once that run has ended", Routes::LOOPBACK, "", Step::START, 1, true,
          ICON_IDLE, nullptr },
        { "the route moves to another adapter: the capture follows, the graph's totals go on", Routes::OTHER, "",
          Step::LOOK, 1, true, ICON_IDLE, nullptr },
        { "a query that fails keeps the capture, nothing shown", Routes::QUERY_FAILS, "", Step::LOOK, 0, true, 0,
          "" },
        { "no route: No connection", Routes::NONE, "", Step::LOOK, 0, false, ICON_STOPPED, "No connection" },
        { "the route back on a device that cannot be opened", Routes::LOOPBACK, "open_fail=1",
          Step::LOOK_THEN_FAIL, 1, false, ICON_STOPPED, "No connection" },
        { "tried again 10 s later, nothing shown while it fails", Routes::LOOPBACK, "open_fail=1",
          Step::AWAIT_RETRY, 1, false, 0, "" },
        { "tried again 10 s later, shown once it opens", Routes::LOOPBACK, "", Step::AWAIT_RETRY, 1, true,
          ICON_IDLE, nullptr },
    };
    // Before the product noted the last failed open.
    double failedBeforeMs = 0;
    for (const AutomaticPhase& phase : phases) {
        SCOPED_TRACE(phase.name);
        routesNow = phase.routes;
        SetFakeCaptureDevices({ "device=" + loopback.device, "device=" + other.device, phase.control });
        notify::Clear();
        // As a read of the run would; only a Monitor start begins the totals anew.
        ReportTraffic(300, 1000);
        uint64_t sentBefore = 0, receivedBefore = 0;
        RatesTotals(&sentBefore, &receivedBefore);
        int queries = routeQueries;
        int quietBefore = QuietSeconds();
        int opens = 0;
        switch (phase.step) {
        case Step::START:
            EXPECT_FALSE(StrandedRunLives(10000)) << "the stuck run did not end once let go";
            StartMonitoring();
            EXPECT_TRUE(WaitFor([] { return CountCalls(CallsPath(), "pcap_dispatch") >= 1; }, 10000));
            opens = Opens();
            break;
        case Step::STOP_WITH_WAKE: {
            HANDLE waker = StartCallThread(SendWakeDuringTheStop, nullptr);
            StopMonitoring();
            WaitForSingleObject(waker, 20000);
            CloseHandle(waker);
            EXPECT_EQ(1, CountCalls(CallsPath(), "pcap_breakloop")) << "the wake did not come during the stop";
            EXPECT_EQ(0, app.monitoring.load());
            opens = Opens();
            break;
        }
        case Step::LOOK:
            SendMessageA(window, WM_NETWORK_CHANGED, 0, 0);
            EXPECT_GT(routeQueries, queries) << "the stand-in route table was not asked";
            // A run the look started opens on its own thread.
            if (phase.opens > 0) {
                EXPECT_TRUE(WaitFor([] { return CountCalls(CallsPath(), "pcap_dispatch") >= 1; }, 10000));
            }
            opens = Opens();
            break;
        case Step::LOOK_THEN_FAIL:
            failedBeforeMs = CounterMs();
            SendMessageA(window, WM_NETWORK_CHANGED, 0, 0);
            EXPECT_TRUE(PumpUntil([](void*) { return RunningDevice() == nullptr; }, nullptr, 10000));
            opens = Opens();
            break;
        case Step::AWAIT_RETRY: {
            OpenWatch watch = { 0, CounterMs() };
            EXPECT_TRUE(PumpUntil(OpenedAgain, &watch, 15000));
            EXPECT_GE(CounterMs() - failedBeforeMs, 10000.0) << "tried again too soon";
            failedBeforeMs = watch.lastMissMs;
            // The try has told how it went.
            bool opened = phase.runLives;
            PumpUntil([](void* ok) {
                return *static_cast<bool*>(ok) ? LastLamp() == ICON_IDLE : RunningDevice() == nullptr;
            }, &opened, 5000);
            opens = Opens();
            break;
        }
        }
        EXPECT_EQ(phase.opens, opens);
        EXPECT_EQ(phase.runLives, RunningDevice() != nullptr);
        EXPECT_EQ(phase.lamp, LastLamp());
        const SystemAdapterSeen& routed = phase.routes == Routes::OTHER ? other : loopback;
        EXPECT_EQ(phase.tip != nullptr ? phase.tip : routed.name.c_str(), LastTip());
        uint64_t sent = 0, received = 0;
        RatesTotals(&sent, &received);
        if (phase.step != Step::START) {
            EXPECT_EQ(sentBefore, sent) << "the totals began anew";
            EXPECT_EQ(receivedBefore, received) << "the totals began anew";
        } else {
            EXPECT_EQ(0u, sent);
            EXPECT_EQ(0u, received);
        }
        if (phase.routes == Routes::NONE) {
            // The graph goes on, quiet, and the tip shows no rates.
            EXPECT_TRUE(PumpUntil([](void* before) { return QuietSeconds() >= *static_cast<int*>(before) + 2; },
                                  &quietBefore, 5000));
            EXPECT_EQ("No connection", LastTip());
        }
    }
    StopMonitoring();
    StandInEntries({});
    Destroy(window);
}

} // namespace
