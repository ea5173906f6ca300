// The traffic graph's right-click: on the plot, or from the menu key, it
// switches the span; on the title bar it opens the system menu, as on any
// window. The span is read from what the window paints.
#include <gtest/gtest.h>
#include <cstring>
#include <string>
#include "core/app_state.h"
#include "dialogs/graph_window_win.h"
#include "support/import_patch.h"
#include "support/message_boxes.h"
#include "support/test_files.h"

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
    realTextOut = reinterpret_cast<TextOutFn>(PatchImport("TextOutA", reinterpret_cast<void*>(RecordingTextOut)));
    ASSERT_NE(nullptr, realTextOut);
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
