// The tray menu as the shell shows it (the real "#32768" popup, read while it
// is open), its placement, and the ten commands.
#include <gtest/gtest.h>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>
#include "adapters/adapter_build_win.h"
#include "app/tray_commands_win.h"
#include "core/app_state.h"
#include "core/message_box_win.h"
#include "help_fake.h"
#include "monitor/capture_win.h"
#include "monitor/monitoring_win.h"
#include "monitor/rates_win.h"
#include "res/resource.h"
#include "setup_driver.h"
#include "support/adapter_doubles.h"
#include "support/system_stand_ins.h"
#include "support/message_boxes.h"
#include "support/test_files.h"
#include "tray/tray_menu_win.h"

namespace {

const char ETHERNET_GUID[] = "{6E0B1A52-1C3D-4C8B-9A11-0F2E3D4C5B6A}";
const char LAB_GUID[] = "{9F8E7D6C-5B4A-4392-8170-A1B2C3D4E5F6}";


struct Item {
    UINT id;
    std::string text;  // "-" for a separator
    bool operator==(const Item& o) const { return id == o.id && text == o.text; }
};
std::ostream& operator<<(std::ostream& out, const Item& item) { return out << item.id << ':' << item.text; }

// What the timer saw of the open menu.
struct Seen {
    bool shown = false;
    RECT rect = {};
    std::vector<Item> items;
    std::vector<UINT> checked;
    int ticks = 0;
};
Seen seen;

// The popup of the menu before may linger for a moment after it closed.
HWND lastPopup;

// Runs inside the menu's own modal loop: read the open menu, then close it.
void CALLBACK WatchMenu(HWND, UINT, UINT_PTR, DWORD)
{
    ++seen.ticks;
    HWND popup = nullptr;
    for (HWND window : TopWindows(GetCurrentProcessId(), "#32768"))
        if (window != lastPopup && popup == nullptr)
            popup = window;
    if (popup == nullptr) {
        if (seen.ticks > 250)  // about 5 s: give up, never hang
            EndMenu();
        return;
    }
    HMENU menu = reinterpret_cast<HMENU>(SendMessageA(popup, MN_GETHMENU, 0, 0));
    int count = GetMenuItemCount(menu);
    if (count <= 0)
        return;
    lastPopup = popup;
    seen.shown = true;
    GetWindowRect(popup, &seen.rect);
    for (int i = 0; i < count; ++i) {
        MENUITEMINFOA info = {};
        info.cbSize = sizeof info;
        char text[64] = "";
        info.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STRING | MIIM_STATE;
        info.dwTypeData = text;
        info.cch = sizeof text;
        GetMenuItemInfoA(menu, i, TRUE, &info);
        bool separator = (info.fType & MFT_SEPARATOR) != 0;
        if (!separator) {
            EXPECT_EQ(0u, info.fState & MFS_GRAYED) << text;
        }
        if (info.fState & MFS_CHECKED)
            seen.checked.push_back(info.wID);
        seen.items.push_back({ info.wID, separator ? "-" : text });
    }
    EndMenu();
}

std::vector<UINT> commands;
int closes;
// The commands also reach the program's own handler, as in its main window.
bool handleCommands = false;

LRESULT CALLBACK TestWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_COMMAND)
        commands.push_back(static_cast<UINT>(wParam));
    if (message == WM_COMMAND && handleCommands)
        return OnCommand(window, wParam, lParam);
    if (message == WM_CLOSE) {
        ++closes;
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

HWND MakeWindow(const char* className, DWORD exStyle, DWORD style, RECT r, HWND parent)
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = TestWindowProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = className;
    RegisterClassA(&wc);
    return CreateWindowExA(exStyle, className, "", style, r.left, r.top, r.right - r.left,
                           r.bottom - r.top, parent, nullptr, wc.hInstance, nullptr);
}

// The pointer moves through the display server: wait until it has arrived.
bool MoveCursor(POINT to)
{
    // Under Wine a pointer event from the X server that was already on its
    // way can move the cursor back; wait until the new place holds.
    DWORD start = GetTickCount();
    int steady = 0;
    while (steady < 5) {
        if (GetTickCount() - start > 5000)
            return false;
        POINT at = {};
        GetCursorPos(&at);
        if (at.x == to.x && at.y == to.y) {
            ++steady;
        } else {
            steady = 0;
            SetCursorPos(to.x, to.y);
        }
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
        Sleep(20);
    }
    return true;
}

Seen Click(HWND window, LPARAM mouse, WPARAM icon = TRAY_ICON_ID)
{
    seen = Seen();
    UINT_PTR timer = SetTimer(nullptr, 0, 20, WatchMenu);
    OnTrayCallback(window, icon, mouse);
    KillTimer(nullptr, timer);
    return seen;
}

const char RUN_KEY[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

// The "NetGlow" value of the Run key, "<none>" when there is none.
std::string RunValue()
{
    char value[1024] = "";
    DWORD size = sizeof value;
    if (RegGetValueA(HKEY_CURRENT_USER, RUN_KEY, "NetGlow", RRF_RT_REG_SZ, nullptr, value, &size) != ERROR_SUCCESS)
        return "<none>";
    return value;
}

void SetRunValue(const char* value)
{
    HKEY key;
    RegCreateKeyExA(HKEY_CURRENT_USER, RUN_KEY, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    if (value != nullptr)
        RegSetValueExA(key, "NetGlow", 0, REG_SZ, reinterpret_cast<const BYTE*>(value), lstrlenA(value) + 1);
    else
        RegDeleteValueA(key, "NetGlow");
    RegCloseKey(key);
}

class TrayMenu : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetAppState();
        folder = MakeTempFolder("tray");
        const char* dir = folder.c_str();
        snprintf(app.logPath, sizeof app.logPath, "%sNetGlow.txt", dir);
        snprintf(app.settingsPath, sizeof app.settingsPath, "%sNetGlow.ini", dir);
        snprintf(app.helpPath, sizeof app.helpPath, "%sNetGlow.chm", dir);
        window = MakeWindow("TrayMenuTestMain", 0, WS_OVERLAPPED, { 0, 0, 10, 10 }, nullptr);
        app.mainWindow = window;
        commands.clear();
        closes = 0;
        SetRunValue(nullptr);
    }
    void TearDown() override
    {
        if (app.monitoring)
            StopMonitoring();
        DestroyWindow(window);
        SetRunValue(nullptr);
    }
    void WriteLog() { std::ofstream(app.logPath, std::ios::binary) << "line\r\n"; }

    std::string folder;
    HWND window = nullptr;
};

struct MenuCase {
    int monitoring, logging;
    bool logFile;
    std::vector<Item> items;
};

TEST_F(TrayMenu, ShowsTheItemsOfEachState)
{
    const Item sep = { 0, "-" };
    const std::vector<Item> tail = { { 1021, "Setup" }, { 1025, "Start with Windows" }, { 1027, "Arrows in the lamp" }, { 1026, "Traffic graph" }, { 1022, "Help" }, { 1023, "About" }, sep, { 1024, "Quit" } };
    auto with = [&](std::vector<Item> head) { head.insert(head.end(), tail.begin(), tail.end()); return head; };
    const MenuCase cases[] = {
        { 0, 0, false, with({ { 1015, "Monitor start" }, sep }) },
        { 0, 0, true, with({ { 1015, "Monitor start" }, sep, { 1019, "Log file View" }, { 1020, "Log file delete" }, sep }) },
        { 1, 0, false, with({ { 1016, "Monitor stop" }, sep, { 1017, "Log preservation start" }, sep }) },
        { 1, 1, false, with({ { 1016, "Monitor stop" }, sep, { 1018, "Log preservation stop" }, sep }) },
        { 1, 1, true, with({ { 1016, "Monitor stop" }, sep, { 1018, "Log preservation stop" },
                             { 1019, "Log file View" }, { 1020, "Log file delete" }, sep }) },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.monitoring << c.logging << c.logFile);
        DeleteFileA(app.logPath);
        if (c.logFile)
            WriteLog();
        app.monitoring = c.monitoring;
        app.logging = c.logging;
        for (LPARAM button : { WM_RBUTTONDOWN, WM_LBUTTONDOWN }) {
            Seen s = Click(window, button);
            ASSERT_TRUE(s.shown);
            EXPECT_EQ(c.items, s.items);
            EXPECT_TRUE(s.checked.empty());
        }
    }
    app.monitoring = 0;
}

TEST_F(TrayMenu, OtherMouseMessagesAndIconsShowNothing)
{
    for (LPARAM mouse : { WM_MOUSEMOVE, WM_LBUTTONUP, WM_RBUTTONUP, WM_LBUTTONDBLCLK, WM_MBUTTONDOWN }) {
        EXPECT_FALSE(Click(window, mouse).shown) << mouse;
    }
    EXPECT_FALSE(Click(window, WM_RBUTTONDOWN, TRAY_ICON_ID + 1).shown);
}

TEST_F(TrayMenu, NothingWhileStartingUpOrADialogOrAMessageBoxIsOpen)
{
    for (std::atomic<int32_t>* flag : { &app.startingUp, &app.dialogOpen, &app.messageBoxOpen }) {
        *flag = 1;
        EXPECT_FALSE(Click(window, WM_RBUTTONDOWN).shown);
        *flag = 0;
    }
    EXPECT_TRUE(Click(window, WM_LBUTTONDOWN).shown);
}

// The GUI thread and the capture thread may each have a box open; the first
// to close must not let the menu open over the other.
TEST_F(TrayMenu, NothingUntilTheLastOfTwoThreadsBoxesCloses)
{
    auto show = [](void* text) { ShowAppMessage(nullptr, static_cast<const char*>(text), MB_OK); };
    char first[] = "First.", second[] = "Second.";
    HANDLE threads[] = { StartCallThread(show, first), StartCallThread(show, second) };
    SeenMessageBox boxes[2];
    ASSERT_TRUE(WaitForMessageBox(&boxes[0]));
    ASSERT_TRUE(WaitForMessageBox(&boxes[1], 10000, "NetGlow", boxes[0].window));
    ASSERT_TRUE(AnswerMessageBox(boxes[0], IDOK));
    EXPECT_FALSE(Click(window, WM_RBUTTONDOWN).shown);
    ASSERT_TRUE(AnswerMessageBox(boxes[1], IDOK));
    ASSERT_EQ(WAIT_OBJECT_0, WaitForMultipleObjects(2, threads, TRUE, 10000));
    for (HANDLE thread : threads)
        CloseHandle(thread);
    EXPECT_TRUE(Click(window, WM_RBUTTONDOWN).shown);
}

TEST_F(TrayMenu, PostsANullMessageAfterTheMenu)
{
    MSG msg;
    while (PeekMessageA(&msg, window, 0, 0, PM_REMOVE)) {}
    ASSERT_TRUE(Click(window, WM_RBUTTONDOWN).shown);
    bool sawNull = false;
    while (PeekMessageA(&msg, window, 0, 0, PM_REMOVE))
        sawNull = sawNull || msg.message == WM_NULL;
    EXPECT_TRUE(sawNull);
}

struct PlaceCase {
    const char* where;
    RECT area;       // the notification area on screen; empty: no taskbar of ours
    POINT cursor;
    bool bottomAligned;
    LONG edgeX, edgeY;  // the menu's left edge, and its bottom or top edge
};

TEST_F(TrayMenu, OpensBesideTheNotificationArea)
{
    const PlaceCase cases[] = {
        { "bottom", { 600, 740, 1000, 768 }, { 520, 750 }, true, 520, 740 },
        { "top", { 600, 0, 1000, 28 }, { 530, 10 }, false, 530, 28 },
        { "left", { 0, 600, 60, 768 }, { 20, 700 }, true, 0, 600 },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.where);
        // A taskbar of our own, above the shell's: Wine's has no notification area window.
        HWND taskbar = MakeWindow("Shell_TrayWnd", WS_EX_TOPMOST | WS_EX_TOOLWINDOW, WS_POPUP,
                                  { 0, 0, 1, 1 }, nullptr);
        RECT a = c.area;
        MakeWindow("TrayNotifyWnd", 0, WS_CHILD, { 0, 0, 1, 1 }, taskbar);
        MoveWindow(taskbar, a.left, a.top, a.right - a.left, a.bottom - a.top, FALSE);
        MoveWindow(FindWindowExA(taskbar, nullptr, "TrayNotifyWnd", nullptr), 0, 0,
                   a.right - a.left, a.bottom - a.top, FALSE);
        SetWindowPos(taskbar, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        ASSERT_EQ(taskbar, FindWindowA("Shell_TrayWnd", nullptr));
        ASSERT_TRUE(MoveCursor(c.cursor));
        Seen s = Click(window, WM_RBUTTONDOWN);
        DestroyWindow(taskbar);
        ASSERT_TRUE(s.shown);
        EXPECT_EQ(c.edgeX, s.rect.left);
        EXPECT_EQ(c.edgeY, c.bottomAligned ? s.rect.bottom : s.rect.top);
    }
}

TEST_F(TrayMenu, WithoutANotificationAreaOpensAtTheCursor)
{
    HWND taskbar = FindWindowA("Shell_TrayWnd", nullptr);
    ASSERT_EQ(nullptr, taskbar ? FindWindowExA(taskbar, nullptr, "TrayNotifyWnd", nullptr) : nullptr);
    const struct { POINT cursor; bool bottomAligned; } cases[] = { { { 300, 700 }, true }, { { 310, 100 }, false } };
    for (const auto& c : cases) {
        ASSERT_TRUE(MoveCursor(c.cursor));
        Seen s = Click(window, WM_RBUTTONDOWN);
        ASSERT_TRUE(s.shown);
        EXPECT_EQ(c.cursor.x, s.rect.left);
        EXPECT_EQ(c.cursor.y, c.bottomAligned ? s.rect.bottom : s.rect.top);
    }
}

TEST_F(TrayMenu, StartWithWindowsPointsTheRunValueAtThisProgram)
{
    char module[MAX_PATH];
    GetModuleFileNameA(nullptr, module, sizeof module);
    const std::string quoted = std::string("\"") + module + "\"";
    const std::string otherCopy = "\"C:\\Tools\\NetGlow\\NetGlow.exe\"";
    std::string unquotedUpper = module;
    for (char& ch : unquotedUpper)
        ch = static_cast<char>(toupper(static_cast<unsigned char>(ch)));
    const std::vector<UINT> checkedItem = { CMD_START_WITH_WINDOWS };
    const std::vector<UINT> none;
    const struct {
        const char* what;
        std::string before;  // "<none>": no value
        std::vector<UINT> checkedBefore;
        std::string after;
    } cases[] = {
        { "no value: added, quoted", "<none>", none, quoted },
        { "this program: removed", quoted, checkedItem, "<none>" },
        { "unquoted, other case: removed", unquotedUpper, checkedItem, "<none>" },
        { "another copy: pointed here", otherCopy, none, quoted },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SetRunValue(c.before == "<none>" ? nullptr : c.before.c_str());
        Seen s = Click(window, WM_RBUTTONDOWN);
        ASSERT_TRUE(s.shown);
        EXPECT_EQ(c.checkedBefore, s.checked);
        OnCommand(window, CMD_START_WITH_WINDOWS);
        EXPECT_EQ(c.after, RunValue());
        s = Click(window, WM_RBUTTONDOWN);
        ASSERT_TRUE(s.shown);
        EXPECT_EQ(c.after == quoted ? checkedItem : none, s.checked);
    }
}

// Shell_NotifyIconGetRect as the system would answer it, handed out through
// the test program's own GetProcAddress.
struct IconAnswer {
    HRESULT result;
    RECT rect;
    HWND askedWindow;
    UINT askedId;
    DWORD askedSize;
} iconAnswer;

// NOTIFYICONIDENTIFIER, which the headers of this build do not declare.
struct IconIdentifier {
    DWORD cbSize;
    HWND hWnd;
    UINT uID;
    GUID guidItem;
};

HRESULT WINAPI FakeGetIconRect(const IconIdentifier* identifier, RECT* rect)
{
    iconAnswer.askedSize = identifier->cbSize;
    iconAnswer.askedWindow = identifier->hWnd;
    iconAnswer.askedId = identifier->uID;
    *rect = iconAnswer.rect;
    return iconAnswer.result;
}

TEST_F(TrayMenu, OpensAtTheIconWhereTheSystemSaysWhereItIs)
{
    StandInEntries({ { "Shell_NotifyIconGetRect", reinterpret_cast<FARPROC>(reinterpret_cast<void*>(FakeGetIconRect)) } });
    // A notification area of our own as well: the icon's rectangle comes first.
    HWND taskbar = MakeWindow("Shell_TrayWnd", WS_EX_TOPMOST | WS_EX_TOOLWINDOW, WS_POPUP, { 600, 740, 1000, 768 },
                              nullptr);
    MakeWindow("TrayNotifyWnd", 0, WS_CHILD, { 0, 0, 400, 28 }, taskbar);
    SetWindowPos(taskbar, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    ASSERT_EQ(taskbar, FindWindowA("Shell_TrayWnd", nullptr));
    const struct {
        const char* where;
        HRESULT result;
        RECT icon;
        LONG left, right, top, bottom;  // the edges that must match; -1: any
    } cases[] = {
        { "bottom right", S_OK, { 960, 744, 984, 768 }, -1, 984, -1, 744 },
        { "top left", S_OK, { 10, 0, 34, 24 }, 10, -1, 24, -1 },
        { "no answer: the notification area", E_FAIL, { 0, 0, 0, 0 }, 520, -1, -1, 740 },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.where);
        iconAnswer = { c.result, c.icon, nullptr, 0, 0 };
        ASSERT_TRUE(MoveCursor({ 520, 750 }));
        Seen s = Click(window, WM_RBUTTONDOWN);
        ASSERT_TRUE(s.shown);
        EXPECT_EQ(window, iconAnswer.askedWindow);
        EXPECT_EQ(static_cast<UINT>(TRAY_ICON_ID), iconAnswer.askedId);
        EXPECT_EQ(sizeof(IconIdentifier), iconAnswer.askedSize);
        const LONG expected[4] = { c.left, c.right, c.top, c.bottom };
        const LONG actual[4] = { s.rect.left, s.rect.right, s.rect.top, s.rect.bottom };
        for (int edge = 0; edge < 4; ++edge) {
            if (expected[edge] >= 0) {
                EXPECT_EQ(expected[edge], actual[edge]) << "edge " << edge;
            }
        }
    }
    DestroyWindow(taskbar);
    StandInEntries({});
}

TEST_F(TrayMenu, LoggingAndLogFileCommands)
{
    OnCommand(window, CMD_LOG_START);
    EXPECT_EQ(1, app.logging.load());
    OnCommand(window, CMD_LOG_STOP);
    EXPECT_EQ(0, app.logging.load());
    WriteLog();
    OnCommand(window, CMD_LOG_DELETE);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(app.logPath));
    // Nothing to delete: no change, and no message (one would keep the call
    // from returning).
    OnCommand(window, CMD_LOG_DELETE);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(app.logPath));
    // Only whole ids count.
    app.logging = 0;
    EXPECT_EQ(0, OnCommand(window, MAKEWPARAM(CMD_LOG_START, 1)));
    EXPECT_EQ(0, app.logging.load());
}

TEST_F(TrayMenu, HelpCommandOpensTheHelp)
{
    help->Reset();
    OnCommand(window, CMD_HELP);
    auto calls = help->Calls();
    ASSERT_EQ(3u, calls.size());
    EXPECT_EQ(std::string(app.helpPath), calls[0].file);
    EXPECT_EQ(21000u, calls[2].data);
}

TEST_F(TrayMenu, AboutCommandRunsTheAboutBox)
{
    static HWND owner;
    owner = window;
    static int openWhileShown;
    ASSERT_TRUE(driver::Drive("NetGlow", [] { OnCommand(owner, CMD_ABOUT); }, [](HWND dialog, void*) {
        openWhileShown = app.dialogOpen;
        EXPECT_EQ(owner, GetWindow(dialog, GW_OWNER));
        driver::Click(dialog, IDOK);
        EXPECT_TRUE(driver::WaitGone(dialog));
    }));
    EXPECT_EQ(1, openWhileShown);
    EXPECT_EQ(0, app.dialogOpen.load());
}

// Adapters as the capture library, ipconfig and the registry give them.
class TrayCommands : public TrayMenu {
protected:
    void SetUp() override
    {
        TrayMenu::SetUp();
        calls = CallsPath();
        SetFakeCaptureDevices({ std::string("device=\\Device\\NPF_") + ETHERNET_GUID,
                                std::string("device=\\Device\\NPF_") + LAB_GUID });
        SetEnvironmentVariableA("NETGLOW_FAKE_IPCONFIG", FixturePath("e2e/ipconfig_win10.txt").c_str());
        Seed({ { ETHERNET_GUID, "Ethernet" }, { LAB_GUID, "Lab Network" } });
        lstrcpynA(app.CardName, "Lab Network", sizeof app.CardName);
    }
    void Seed(const std::vector<std::pair<const char*, const char*>>& adapters)
    {
        SeedDword("SYSTEM\\Select", "Current", 1);
        RemoveTree("SYSTEM\\ControlSet001\\Control\\Network");
        for (const auto& adapter : adapters)
            SeedConnection("SYSTEM\\ControlSet001\\Control\\Network\\{4D36E972-E325-11CE-BFC1-08002BE10318}",
                           adapter.first, adapter.second);
    }
    int Opens(const char* guid) { return CountCalls(calls, std::string("pcap_create \\Device\\NPF_") + guid); }
    // The capture thread opens the device on its own time.
    int OpensOnceStarted(const char* guid)
    {
        WaitFor([&] { return Opens(guid) > 0; }, 5000);
        return Opens(guid);
    }

    std::string calls;
};

TEST_F(TrayCommands, MonitorStartFindsTheSavedAdapterAndStopEndsIt)
{
    lstrcpynA(app.trayData.szTip, "before", sizeof app.trayData.szTip);
    OnCommand(window, CMD_MONITOR_START);
    EXPECT_EQ(1, app.monitoring.load());
    EXPECT_EQ(1, app.selectedIndex.load());
    EXPECT_EQ(1, OpensOnceStarted(LAB_GUID));
    EXPECT_STREQ("before", app.trayData.szTip);
    EXPECT_EQ(0, app.cardMissing.load());
    app.logging = 1;
    OnCommand(window, CMD_MONITOR_STOP);
    EXPECT_EQ(0, app.monitoring.load());
    EXPECT_EQ(0, app.logging.load());
}

TEST_F(TrayCommands, QuitStopsMonitoringThenCloses)
{
    OnCommand(window, CMD_MONITOR_START);
    ASSERT_EQ(1, app.monitoring.load());
    app.trayIconAdded = 1;
    OnCommand(window, CMD_QUIT);
    EXPECT_EQ(0, app.monitoring.load());
    EXPECT_EQ(1, closes);
}

// Start-up (the first-run Setup may be open) ignores the menu's commands,
// but a failed run's own stop request, which names its run, goes through:
// its thread has ended, and monitoring must not stay on without it.
TEST_F(TrayCommands, DuringStartUpOnlyAFailedRunsOwnStopRequestActs)
{
    const struct {
        const char* what;
        bool namesTheRun;
        int monitoringAfter;
    } cases[] = {
        { "the menu's stop", false, 1 },
        { "the run's own stop", true, 0 },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SetUp();
        OnCommand(window, CMD_MONITOR_START);
        ASSERT_EQ(1, app.monitoring.load());
        app.startingUp = 1;
        OnCommand(window, CMD_MONITOR_STOP, c.namesTheRun ? RunningNumber() : 0);
        EXPECT_EQ(c.monitoringAfter, app.monitoring.load());
        app.startingUp = 0;
        TearDown();
    }
}

struct SetupCase {
    const char* what;
    bool nowOpt;
    int button;
    int opensAfter;
};

// Setup's own stop and start keep the traffic graph's totals (and history).
TEST_F(TrayCommands, SetupStopsMonitoringAndRestartsItOnce)
{
    const SetupCase cases[] = {
        { "Cancel", false, IDC_SETUP_CANCEL, 1 },
        { "OK, option off", false, IDC_SETUP_OK, 1 },
        { "OK, option on", true, IDC_SETUP_OK, 1 },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SetUp();
        app.NowOpt = c.nowOpt ? 1 : 0;
        OnCommand(window, CMD_MONITOR_START);
        ASSERT_EQ(1, app.monitoring.load());
        app.logging = 1;
        ASSERT_EQ(1, OpensOnceStarted(LAB_GUID));
        DeleteFileA(calls.c_str());
        ReportTraffic(300, 1000); // as a read of the run would
        static HWND owner;
        static int button, monitoringWhileOpen;
        owner = window;
        button = c.button;
        ASSERT_TRUE(driver::Drive("Setup", [] { OnCommand(owner, CMD_SETUP); }, [](HWND dialog, void*) {
            monitoringWhileOpen = app.monitoring;
            driver::Click(dialog, button);
            EXPECT_TRUE(driver::WaitGone(dialog));
        }));
        EXPECT_EQ(0, monitoringWhileOpen);
        EXPECT_EQ(1, app.monitoring.load());
        EXPECT_EQ(0, app.logging.load());
        EXPECT_EQ(c.opensAfter, OpensOnceStarted(LAB_GUID));
        uint64_t sent = 0, received = 0;
        RatesTotals(&sent, &received);
        EXPECT_EQ(300u, sent) << "the totals began anew";
        EXPECT_EQ(1000u, received) << "the totals began anew";
        StopMonitoring();
        EXPECT_EQ(c.opensAfter, Opens(LAB_GUID)) << "started twice";
        TearDown();
    }
}

// The question box a dialog of this thread has open, if any.
HWND QuestionBox()
{
    for (HWND box : TopWindows(GetCurrentProcessId(), "#32770"))
        if (GetDlgItem(box, IDNO) != nullptr)
            return box;
    return nullptr;
}

// Quit while Setup or About is open (the installer's quit message comes
// through the dialog's own loop): the dialog closes as its close box does,
// a question it asks is answered "No", nothing of it is stored, and no
// capture starts again before the program ends.
TEST_F(TrayCommands, QuitWithADialogOpenClosesItThenQuits)
{
    const struct {
        const char* what;
        UINT command;
        const char* caption;
        bool asks; // a change, then OK: Setup asks "Save Changes?"
    } cases[] = {
        { "Setup open", CMD_SETUP, "Setup", false },
        { "Setup asking to save", CMD_SETUP, "Setup", true },
        { "About open", CMD_ABOUT, "NetGlow", false },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SetUp();
        const std::string ini = "[Option]\r\nColorSend=1\r\n";
        WriteWholeFile(app.settingsPath, ini);
        OnCommand(window, CMD_MONITOR_START);
        ASSERT_EQ(1, OpensOnceStarted(LAB_GUID));
        app.trayIconAdded = 1;
        app.ColorSend = 1;
        DeleteFileA(calls.c_str());
        static HWND owner;
        static UINT command;
        static bool asks, closed, asked;
        owner = window;
        command = c.command;
        asks = c.asks;
        asked = false;
        handleCommands = true;
        ASSERT_TRUE(driver::Drive(c.caption, [] { OnCommand(owner, command); }, [](HWND dialog, void*) {
            if (asks) {
                driver::Click(dialog, IDC_SEND_YELLOW);
                driver::Click(dialog, IDC_SETUP_OK);
                asked = WaitFor([] { return QuestionBox() != nullptr; }, 10000);
            }
            PostMessageA(owner, WM_COMMAND, CMD_QUIT, 0);
            closed = driver::WaitGone(dialog);
        }));
        handleCommands = false;
        EXPECT_TRUE(closed) << "the Quit did not close the dialog";
        EXPECT_EQ(asks, asked);
        EXPECT_EQ(nullptr, QuestionBox());
        EXPECT_EQ(0, app.monitoring.load());
        EXPECT_EQ(1, closes);
        EXPECT_EQ(0, Opens(LAB_GUID)) << "a capture started during the Quit";
        EXPECT_EQ(1, app.ColorSend.load()) << "the dialog's change was stored";
        EXPECT_EQ(ini, ReadFileBytes(app.settingsPath));
        TearDown();
    }
}

TEST_F(TrayCommands, SetupDoesNotStartWhatWasNotRunning)
{
    static HWND owner;
    owner = window;
    ASSERT_TRUE(driver::Drive("Setup", [] { OnCommand(owner, CMD_SETUP); }, [](HWND dialog, void*) {
        driver::Click(dialog, IDC_SETUP_CANCEL);
        EXPECT_TRUE(driver::WaitGone(dialog));
    }));
    EXPECT_EQ(0, app.monitoring.load());
}

} // namespace

int main(int argc, char** argv) { return RunTestsWithFakeHelp(argc, argv); }
