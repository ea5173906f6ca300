// The traffic graph's right-click: on the plot, or from the menu key, it
// switches the span; on the title bar it opens the system menu, as on any
// window. The span is read from what the window paints. Its list names the
// programs behind the traffic, read through the list view as a screen
// reader reads it. It follows the light, dark and high-contrast looks.
#include <gtest/gtest.h>
#include <winsock2.h>
#include <windows.h>
#include <iphlpapi.h>
#include <commctrl.h>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>
#include "core/app_state.h"
#include "dialogs/graph_window_win.h"
#include "monitor/monitoring_win.h"
#include "res/resource.h"
#include "support/adapter_doubles.h"
#include "support/import_patch.h"
#include "support/lamp_window.h"
#include "support/message_boxes.h"
#include "support/registry_seed.h"
#include "support/system_stand_ins.h"
#include "support/test_files.h"
#include "tests/fakes/owner_tables.h"

namespace {

std::string spanPainted;
using TextOutFn = BOOL(WINAPI*)(HDC, int, int, LPCSTR, int);
TextOutFn realTextOut;

BOOL WINAPI RecordingTextOut(HDC dc, int x, int y, LPCSTR text, int length)
{
    std::string drawn(text, static_cast<size_t>(length));
    if (drawn.rfind("Last ", 0) == 0)
        spanPainted = drawn;
    return realTextOut(dc, x, y, text, length);
}

// The span the window paints now.
std::string Span(HWND graph)
{
    if (realTextOut == nullptr)
        realTextOut = reinterpret_cast<TextOutFn>(PatchImport("TextOutA", reinterpret_cast<void*>(RecordingTextOut)));
    spanPainted.clear();
    RedrawWindow(graph, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    return spanPainted;
}

HWND graphWindow;
bool systemMenuSeen;

// The system menu's loop holds the test's thread: another thread sees the
// menu and cancels it.
void CancelTheSystemMenu(void*)
{
    systemMenuSeen = WaitFor([] { return !TopWindows(GetCurrentProcessId(), "#32768").empty(); }, 5000);
    PostMessageA(graphWindow, WM_CANCELMODE, 0, 0);
}

} // namespace

TEST(GraphWindow, RightClickOnThePlotSwitchesTheSpanOnTheTitleBarOpensTheSystemMenu)
{
    ResetAppState();
    app.instance = GetModuleHandleA(nullptr);
    ShowTrafficGraph();
    graphWindow = app.graphWindow;
    ASSERT_NE(nullptr, graphWindow);
    RECT client, frame;
    GetClientRect(graphWindow, &client);
    MapWindowPoints(graphWindow, nullptr, reinterpret_cast<POINT*>(&client), 2);
    GetWindowRect(graphWindow, &frame);
    const LPARAM onThePlot = MAKELPARAM((client.left + client.right) / 2, (client.top + client.bottom) / 2);
    const LPARAM onTheTitleBar = MAKELPARAM((frame.left + frame.right) / 2, (frame.top + client.top) / 2);
    const LPARAM fromTheKeyboard = MAKELPARAM(-1, -1);

    const struct {
        const char* what;
        LPARAM at;
        const char* span;
        bool systemMenu;
    } cases[] = {
        { "on the plot", onThePlot, "Last 10 min", false },
        { "from the menu key", fromTheKeyboard, "Last 60 s", false },
        { "on the title bar", onTheTitleBar, "Last 60 s", true },
    };
    ASSERT_EQ("Last 60 s", Span(graphWindow));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        systemMenuSeen = false;
        HANDLE canceller = c.systemMenu ? StartCallThread(CancelTheSystemMenu, nullptr) : nullptr;
        SendMessageA(graphWindow, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(graphWindow), c.at);
        if (canceller != nullptr) {
            WaitForSingleObject(canceller, 10000);
            CloseHandle(canceller);
        }
        EXPECT_EQ(c.systemMenu, systemMenuSeen);
        EXPECT_EQ(c.span, Span(graphWindow));
    }
    DestroyWindow(graphWindow);
}

namespace {

// A process id that no process has: its program is "Process <pid>".
const DWORD kGonePid = 0x7ffffff0;

// How often the stood-in owner tables were read.
int ownerTableReads = 0;

DWORD WINAPI TcpTableStandIn(PVOID out, PDWORD size, BOOL, ULONG family, TCP_TABLE_CLASS, ULONG)
{
    ++ownerTableReads;
    std::vector<MIB_TCPROW_OWNER_PID> rows;
    if (family == AF_INET)
        rows = { { MIB_TCP_STATE_ESTAB, Ipv4Of(192, 168, 1, 10), htons(50000), Ipv4Of(203, 0, 113, 7), htons(443),
                   GetCurrentProcessId() },
                 // Another connection from port 50001, listed first: the frames' peer picks the one below.
                 { MIB_TCP_STATE_ESTAB, Ipv4Of(192, 168, 1, 10), htons(50001), Ipv4Of(198, 51, 100, 9), htons(443),
                   4 },
                 { MIB_TCP_STATE_ESTAB, Ipv4Of(192, 168, 1, 10), htons(50001), Ipv4Of(203, 0, 113, 7), htons(443),
                   kGonePid } };
    return AnswerOwnerTable<MIB_TCPTABLE_OWNER_PID>(rows, out, size);
}

DWORD WINAPI UdpTableStandIn(PVOID out, PDWORD size, BOOL, ULONG family, UDP_TABLE_CLASS, ULONG)
{
    std::vector<MIB_UDPROW_OWNER_PID> rows;
    if (family == AF_INET)
        rows = { { Ipv4Of(0, 0, 0, 0), htons(137), 4 } };
    return AnswerOwnerTable<MIB_UDPTABLE_OWNER_PID>(rows, out, size);
}

// The frame padded with zeros to `length` bytes.
frames::Bytes Sized(frames::Bytes frame, size_t length)
{
    frame.resize(length);
    return frame;
}

// The list view's rows as a screen reader reads them: "name | sent | received".
std::vector<std::string> ListRows(HWND graph)
{
    HWND list = FindWindowExW(graph, nullptr, WC_LISTVIEWW, nullptr);
    std::vector<std::string> rows;
    if (list == nullptr)
        return { "no list view" };
    int count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int item = 0; item < count; ++item) {
        std::string row;
        for (int field = 0; field < 3; ++field) {
            wchar_t text[300] = L"";
            LVITEMW query;
            ZeroMemory(&query, sizeof query);
            query.iSubItem = field;
            query.pszText = text;
            query.cchTextMax = 300;
            SendMessageW(list, LVM_GETITEMTEXTW, item, reinterpret_cast<LPARAM>(&query));
            char narrow[600];
            WideCharToMultiByte(CP_UTF8, 0, text, -1, narrow, sizeof narrow, nullptr, nullptr);
            row += (field > 0 ? " | " : "") + std::string(narrow);
        }
        rows.push_back(row);
    }
    return rows;
}

const std::vector<std::string> kPrograms = {
    "NetGlow network activity lamp | 300 B | 200 B",  // this process: its file's description
    "System | 0 B | 150 B",
    "Process 2147483632 | 100 B | 0 B",
    "Other traffic | 0 B | 140 B",                   // ICMP, and a port no socket holds
};

bool ProgramsListed(void*)
{
    return app.graphWindow != nullptr && ListRows(app.graphWindow) == kPrograms;
}

} // namespace

// Frames of three programs' ports and some that no program owns, through
// the real capture thread and the fake library; the owner tables stood in
// for. The list names each program with its bytes, "Other traffic" last,
// and follows the span switch once its seconds have left the last minute.
TEST(GraphWindow, ListNamesTheProgramsBehindTheTrafficInTheSpanShown)
{
    StandInEntries({ { "GetExtendedTcpTable", reinterpret_cast<FARPROC>(TcpTableStandIn) },
                     { "GetExtendedUdpTable", reinterpret_cast<FARPROC>(UdpTableStandIn) } });
    HWND window = StartRunWindow("192.168.1.10");
    ASSERT_NE(nullptr, window);
    app.instance = GetModuleHandleA(nullptr);
    lstrcpynA(app.adapters.deviceName[0], "\\Device\\NPF_{X}", ADAPTER_TEXT_SIZE);
    using frames::Ipv4;
    using frames::Ports;
    const frames::Bytes own = { 192, 168, 1, 10 }, server = { 203, 0, 113, 7 }, router = { 192, 168, 1, 1 };
    const std::vector<frames::Bytes> traffic = {
        Sized(Ipv4(6, own, server, Ports(50000, 443)), 100),  Sized(Ipv4(6, own, server, Ports(50000, 443)), 100),
        Sized(Ipv4(6, own, server, Ports(50000, 443)), 100),  Sized(Ipv4(6, server, own, Ports(443, 50000)), 120),
        Sized(Ipv4(6, server, own, Ports(443, 50000)), 80),   Sized(Ipv4(17, router, own, Ports(137, 137)), 150),
        Sized(Ipv4(6, own, server, Ports(50001, 443)), 100),  Sized(Ipv4(1, server, own, { 0, 0, 0, 0 }), 98),
        Sized(Ipv4(17, server, own, Ports(53, 40000)), 42),
    };
    SetFakeCaptureDevices({ "device=\\Device\\NPF_{X}", "replay=" + WriteFrames(traffic, 1700000000) });
    StartMonitoring();
    ShowTrafficGraph();
    ASSERT_NE(nullptr, app.graphWindow);
    // The span stays as the last window left it: the last minute here.
    if (Span(app.graphWindow) != "Last 60 s")
        SendMessageA(app.graphWindow, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(app.graphWindow), MAKELPARAM(-1, -1));
    ASSERT_EQ("Last 60 s", Span(app.graphWindow));
    bool listed = PumpUntil(ProgramsListed, nullptr, 10000);
    EXPECT_TRUE(listed) << "the list shows:\n" << testing::PrintToString(ListRows(app.graphWindow));
    EXPECT_LE(1, ownerTableReads);

    // What the user chose stays across the seconds' updates: in a window
    // of the least height the list is scrolled to its end and "System"
    // selected, and three rate ticks later both are as they were.
    HWND list = FindWindowExW(app.graphWindow, nullptr, WC_LISTVIEWW, nullptr);
    RECT placed;
    GetWindowRect(app.graphWindow, &placed);
    SetWindowPos(app.graphWindow, nullptr, 0, 0, placed.right - placed.left, 0,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    SendMessageW(list, LVM_ENSUREVISIBLE, 3, FALSE);
    int top = static_cast<int>(SendMessageW(list, LVM_GETTOPINDEX, 0, 0));
    ASSERT_LT(0, top) << "the list is not scrolled: " << SendMessageW(list, LVM_GETCOUNTPERPAGE, 0, 0)
                      << " rows shown";
    LVITEMW chosen;
    ZeroMemory(&chosen, sizeof chosen);
    chosen.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    chosen.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(list, LVM_SETITEMSTATE, 1, reinterpret_cast<LPARAM>(&chosen));
    for (int tick = 0; tick < 3; ++tick)
        SendMessageA(window, WM_TIMER, RATE_TIMER_ID, 0);
    EXPECT_EQ(kPrograms, ListRows(app.graphWindow));
    EXPECT_EQ(1, SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    EXPECT_EQ(-1, SendMessageW(list, LVM_GETNEXTITEM, 1, LVNI_SELECTED));
    EXPECT_EQ(top, SendMessageW(list, LVM_GETTOPINDEX, 0, 0));

    // A minute of rate ticks later the programs' bytes are older than the
    // last minute: the list is empty, and the ten-minute span shows them.
    for (int tick = 0; tick < 60; ++tick)
        SendMessageA(window, WM_TIMER, RATE_TIMER_ID, 0);
    EXPECT_EQ(std::vector<std::string>{}, ListRows(app.graphWindow));
    SendMessageA(app.graphWindow, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(app.graphWindow), MAKELPARAM(-1, -1));
    EXPECT_EQ(kPrograms, ListRows(app.graphWindow));
    SendMessageA(app.graphWindow, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(app.graphWindow), MAKELPARAM(-1, -1));
    EXPECT_EQ(std::vector<std::string>{}, ListRows(app.graphWindow));

    StopMonitoring();
    StandInEntries({});
    DestroyWindow(app.graphWindow);
    DestroyLampWindow(window);
}

namespace {

// Wine's DwmSetWindowAttribute succeeds and does nothing: the calls are
// recorded as "window attribute value size".
std::vector<std::string> titleBarCalls;

HRESULT WINAPI RecordingSetWindowAttribute(HWND window, DWORD attribute, LPCVOID value, DWORD size)
{
    char call[96];
    std::snprintf(call, sizeof call, "%s %lu %ld %lu", window == app.graphWindow ? "graph" : "other",
                  attribute, size == sizeof(BOOL) ? static_cast<long>(*static_cast<const BOOL*>(value)) : -1L, size);
    titleBarCalls.push_back(call);
    return S_OK;
}

// This prefix says Windows 7: the build is stood in for, Windows 10 22H2's.
LONG WINAPI Windows10Version(RTL_OSVERSIONINFOW* version)
{
    version->dwMajorVersion = 10;
    version->dwMinorVersion = 0;
    version->dwBuildNumber = 19045;
    version->dwPlatformId = VER_PLATFORM_WIN32_NT;
    version->szCSDVersion[0] = L'\0';
    return 0;
}


// A pixel of the window's client area, as the screen shows it once the
// window has painted what it invalidated.
COLORREF PixelOnScreen(HWND graph, int x, int y)
{
    UpdateWindow(graph);
    POINT corner = { x, y };
    ClientToScreen(graph, &corner);
    HDC screen = GetDC(nullptr);
    COLORREF pixel = GetPixel(screen, corner.x, corner.y);
    ReleaseDC(nullptr, screen);
    return pixel;
}

} // namespace

// The window opens light, then follows the announced changes: dark, high
// contrast (over the dark setting) and light again. The list's colours, the
// plot's background on screen and the title bar's request change with each.
// On Windows 10 22H2 the dark frame's attribute is 20.
TEST(GraphWindow, FollowsTheLightDarkAndHighContrastLooks)
{
    const struct {
        const char* what;
        DWORD appsUseLightTheme;
        bool highContrast;
        UINT announced;  // 0: none, the window opens
        COLORREF listBackground, listText, plot;
        std::vector<std::string> titleBar;
    } phases[] = {
        { "light", 1, false, 0, RGB(255, 255, 255), RGB(0, 0, 0), RGB(255, 255, 255), { "graph 20 0 4" } },
        { "dark", 0, false, WM_SETTINGCHANGE, RGB(32, 32, 32), RGB(240, 240, 240), RGB(32, 32, 32),
          { "graph 20 1 4" } },
        { "high contrast", 0, true, WM_SYSCOLORCHANGE, RGB(0, 0, 0), RGB(255, 255, 255), RGB(0, 0, 0),
          { "graph 20 0 4" } },
        { "light again", 1, false, WM_SETTINGCHANGE, RGB(255, 255, 255), RGB(0, 0, 0), RGB(255, 255, 255),
          { "graph 20 0 4" } },
    };
    ResetAppState();
    app.instance = GetModuleHandleA(nullptr);
    StandInEntries({ { "DwmSetWindowAttribute", reinterpret_cast<FARPROC>(RecordingSetWindowAttribute) },
                     { "RtlGetVersion", reinterpret_cast<FARPROC>(Windows10Version) } });
    std::unique_ptr<TemporaryValue> appsMode;
    for (const auto& phase : phases) {
        SCOPED_TRACE(phase.what);
        appsMode.reset();
        appsMode.reset(new TemporaryValue(HKEY_CURRENT_USER, PERSONALIZE_KEY, "AppsUseLightTheme", REG_DWORD,
                                          &phase.appsUseLightTheme, sizeof(DWORD)));
        StandInHighContrast(phase.highContrast ? &HIGH_CONTRAST_BLACK : nullptr);
        titleBarCalls.clear();
        if (phase.announced == 0)
            ShowTrafficGraph();
        else if (phase.announced == WM_SETTINGCHANGE)
            SendMessageA(app.graphWindow, WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>("ImmersiveColorSet"));
        else
            SendMessageA(app.graphWindow, phase.announced, 0, 0);
        ASSERT_NE(nullptr, app.graphWindow);
        HWND list = FindWindowExW(app.graphWindow, nullptr, WC_LISTVIEWW, nullptr);
        ASSERT_NE(nullptr, list);
        EXPECT_EQ(phase.listBackground, static_cast<COLORREF>(SendMessageW(list, LVM_GETBKCOLOR, 0, 0)));
        EXPECT_EQ(phase.listText, static_cast<COLORREF>(SendMessageW(list, LVM_GETTEXTCOLOR, 0, 0)));
        RECT client;
        GetClientRect(app.graphWindow, &client);
        EXPECT_EQ(phase.plot, PixelOnScreen(app.graphWindow, 2, 2)) << "the plot's margin";
        EXPECT_EQ(phase.plot, PixelOnScreen(app.graphWindow, 2, client.bottom - 2)) << "the list's margin";
        EXPECT_EQ(phase.titleBar, titleBarCalls);
    }
    StandInHighContrast(nullptr);
    StandInEntries({});
    DestroyWindow(app.graphWindow);
}
