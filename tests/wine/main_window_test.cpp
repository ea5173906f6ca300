// The main window's creation offers the tray icon "WaitCount" times,
// "WaitTime" ms apart, and closes the window when the shell keeps refusing it.
// Wine's notification area accepts every icon, so the test's own stand-in for
// Shell_NotifyIconA refuses as many adds as the case says; a refused add may
// still have placed the icon (the shell timed out at logon), and only a
// modify then tells.
#include <gtest/gtest.h>
#include <cstring>
#include <fstream>
#include <tuple>
#include <vector>
#include "core/app_state.h"
#include "app/main_window_win.h"
#include "monitor/capture_win.h"
#include "monitor/monitoring_win.h"
#include "res/resource.h"
#include "support/adapter_doubles.h"
#include "support/import_patch.h"
#include "support/notify_recorder.h"
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
// be read yet, saves nothing.
TEST_F(MainWindow, EndOfSessionSavesTheSettingsThenStopsMonitoring)
{
    const std::string waitKeys = "[Option]\r\nWaitTime=100\r\nWaitCount=50\r\nWaitFlag=1\r\n";
    const std::string saved = waitKeys
        + "CardName=Ethernet\r\nCardIndex=0\r\nInitOpt=-1\r\nStartOpt=1\r\nNowOpt=0\r\n"
          "ColorSend=1\r\nColorRecv=2\r\nTimeoutP=20\r\n";
    const struct {
        BOOL ending;
        int startingUp;
        std::vector<DWORD> calls; // the stop's stopped lamp
        std::string file;
    } cases[] = {
        { FALSE, 0, {}, waitKeys },
        { TRUE, 1, { NIM_MODIFY }, waitKeys },
        { TRUE, 0, { NIM_MODIFY }, saved },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "ending " << c.ending << ", starting up " << c.startingUp);
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
        StartMonitoring();
        ASSERT_EQ(1, app.monitoring.load());
        ClearCalls();
        app.startingUp = c.startingUp;

        SendMessageA(window, WM_ENDSESSION, c.ending, ENDSESSION_LOGOFF);
        EXPECT_EQ(c.file, ReadFileBytes(settings));
        EXPECT_EQ(c.ending ? 0 : 1, app.monitoring.load());
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

typedef FARPROC(WINAPI* GetProcAddressFn)(HMODULE, LPCSTR);
GetProcAddressFn realGetProcAddress;
FARPROC WINAPI ProcAddressWithFilterStandIn(HMODULE module, LPCSTR name)
{
    if (HIWORD(reinterpret_cast<ULONG_PTR>(name)) != 0 && std::strcmp(name, "ChangeWindowMessageFilterEx") == 0
        && module == GetModuleHandleA("user32.dll"))
        return reinterpret_cast<FARPROC>(RecordingMessageFilter);
    return realGetProcAddress(module, name);
}

// An elevated NetGlow would never hear of a restarted Explorer, nor of a
// second start: UIPI drops messages from unelevated senders. Both are let
// through. Wine has no UIPI, so only the calls can be seen, through the
// stand-in GetProcAddress hands out for the function (not every system has it).
TEST_F(MainWindow, ShellAndSecondStartMessagesPassTheElevationFilter)
{
    realGetProcAddress = reinterpret_cast<GetProcAddressFn>(
        PatchImport("GetProcAddress", reinterpret_cast<void*>(ProcAddressWithFilterStandIn)));
    ASSERT_NE(nullptr, realGetProcAddress);
    filterCalls.clear();
    HWND window = Create();
    PatchImport("GetProcAddress", reinterpret_cast<void*>(realGetProcAddress));
    ASSERT_NE(nullptr, window);
    const DWORD MSGFLT_ALLOW_ACTION = 1;
    EXPECT_EQ((std::vector<std::tuple<HWND, UINT, DWORD, void*>>{
                  { window, RegisterWindowMessageA("TaskbarCreated"), MSGFLT_ALLOW_ACTION, nullptr },
                  { window, RegisterWindowMessageA("NetGlow.AlreadyRunning"), MSGFLT_ALLOW_ACTION, nullptr } }),
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

} // namespace
