// A person's first session with NetGlow, through the tray icon only: the
// first-run Setup, monitoring, logging, the log file commands, Setup while
// monitoring, About, the traffic graph (light, then dark), Help and Quit,
// then a second start that finds the graph where it was left, and a third
// that finds it moved onto the work area from a saved place off the screen. With
// NETGLOW_SCREENSHOTS set to a folder, it also leaves screenshots there for
// the documentation.
#include <cstdlib>
#include "e2e_common.h"
#include <commctrl.h>
#include "support/tray_user.h"
#include "tests/wine/support/prefix_scaling.h"
#include "tests/wine/support/registry_seed.h"

namespace {

const MenuTexts OFF = { "Monitor start", "-", "Setup", "Start with Windows", "Arrows in the lamp", "Traffic graph", "Help", "About", "-", "Quit" };
const MenuTexts ON_NO_LOG = { "Monitor stop", "-", "Log preservation start", "-", "Setup", "Start with Windows", "Arrows in the lamp", "Traffic graph", "Help", "About", "-", "Quit" };
const MenuTexts ON_LOGGING = { "Monitor stop", "-", "Log preservation stop", "Log file View", "Log file delete", "-",
                               "Setup", "Start with Windows", "Arrows in the lamp", "Traffic graph", "Help", "About", "-", "Quit" };
const MenuTexts ON_WITH_LOG_FILE = { "Monitor stop", "-", "Log preservation start", "Log file View", "Log file delete", "-",
                                     "Setup", "Start with Windows", "Arrows in the lamp", "Traffic graph", "Help", "About", "-", "Quit" };

std::string ScreenshotFolder()
{
    const char* folder = std::getenv("NETGLOW_SCREENSHOTS");
    return folder ? HostPathToWindows(folder) + "\\" : std::string();
}

// For the documentation only: a window just opened may not have painted
// yet, so give it a moment (settleMs) before the picture is taken.
void Screenshot(const char* name, RECT part, DWORD settleMs = 0)
{
    std::string folder = ScreenshotFolder();
    if (folder.empty())
        return;
    Sleep(settleMs);
    SaveScreenshot(folder + name + ".bmp", &part);
}

// The notification area once it shows that lamp, for the documentation;
// the program's own calls are checked through their record.
void LampScreenshot(const char* name, int lamp)
{
    if (ScreenshotFolder().empty())
        return;
    int width = GetSystemMetrics(SM_CXSCREEN);
    int height = GetSystemMetrics(SM_CYSCREEN);
    RECT corner = { width - 240, height - 60, width, height };
    if (WaitForLampOnScreen(lamp))
        Screenshot(name, corner);
}

RECT AroundWindow(HWND window, int margin)
{
    RECT rect;
    GetWindowRect(window, &rect);
    InflateRect(&rect, margin, margin);
    return rect;
}

// Every line is one of the lines the capture can produce, CRLF-terminated.
void ExpectLinesFrom(const std::string& log, const std::string& expected)
{
    EXPECT_FALSE(log.empty());
    for (const std::string& line : Lines(log))
        EXPECT_TRUE(line.size() >= 2 && line.compare(line.size() - 2, 2, "\r\n") == 0
                    && expected.find(line) != std::string::npos) << line;
}

} // namespace

TEST_F(E2E, FirstSessionThroughTheTrayIcon)
{
    const std::string traffic = SourcePath("tests\\fixtures\\e2e\\traffic.pcap");
    const std::string expectedLines = TrafficLog();
    // The sockets' owners, which Wine reports as 0: NetGlow itself, the
    // system and a process that cannot be opened, for the graph's list.
    SetControl("replay=" + traffic + "\r\nreplay_repeat=100000\r\nreplay_gap_us=30000\r\n"
               "owner=TCP 51000 self\r\nowner=UDP 53100 4\r\nowner=TCP 80 7340\r\n");

    // First run: no settings file. The Setup dialog opens before the loop.
    ASSERT_TRUE(ng.Start());
    HWND setup = WaitForWindow(ng.processId, "#32770", "Setup");
    ASSERT_NE(nullptr, setup);
    HWND list = GetDlgItem(setup, IDC_CARD_LIST);
    ASSERT_EQ(3, SendMessageA(list, CB_GETCOUNT, 0, 0));
    // Dialog controls hold UTF-16 text; read it as such across processes.
    wchar_t name[64] = L"";
    SendMessageW(list, CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(name));
    EXPECT_STREQ(L"Automatic (the connection in use)", name);
    EXPECT_EQ(0, SendMessageA(list, CB_GETCURSEL, 0, 0));
    SendMessageW(list, CB_GETLBTEXT, 1, reinterpret_cast<LPARAM>(name));
    EXPECT_STREQ(L"Ethernet", name);
    // This session watches the fake library's adapter by name.
    SendMessageA(list, CB_SETCURSEL, 1, 0);
    ClickButton(setup, IDC_SETUP_OK);
    ASSERT_TRUE(AnswerBox(ng.processId, "Save Changes?", IDYES)); // item 1 differs from "none"
    ASSERT_TRUE(WaitUntilGone(setup));
    ASSERT_NE(nullptr, ng.WaitForMainWindow());
    // OK saved at once, while the first-run mark was still unset.
    EXPECT_EQ(SettingsFile({ { "WaitTime", "100" }, { "WaitCount", "50" }, { "WaitFlag", "1" },
                             { "CardName", "Ethernet" }, { "CardIndex", "0" }, { "InitOpt", "-2" },
                             { "StartOpt", "0" }, { "NowOpt", "0" }, { "ColorSend", "1" },
                             { "ColorRecv", "2" }, { "TimeoutP", "20" } }),
              ReadFileBytes(ng.settingsPath));
    // The stopped image of the add, set before the capture library (which
    // records the later calls) was loaded: the screen tells.
    EXPECT_TRUE(WaitForLampOnScreen(ICON_STOPPED));
    LampScreenshot("lamp-stopped", ICON_STOPPED);

    HWND popup = nullptr;
    ASSERT_TRUE(OpenTrayMenu(ng, &popup));
    Screenshot("menu-monitoring-off", AroundWindow(popup, 40), 500);
    ASSERT_TRUE(ChooseMenuItem(popup, OFF, "Monitor start"));
    EXPECT_TRUE(WaitForCalls("pcap_activate", 1));

    ASSERT_TRUE(OpenTrayMenu(ng, &popup));
    Screenshot("menu-monitoring-on", AroundWindow(popup, 40), 500);
    size_t lamps = ng.Lamps().size();
    ASSERT_TRUE(ChooseMenuItem(popup, ON_NO_LOG, "Log preservation start"));

    // Replayed traffic lights the lamp in both colours and fills the log.
    EXPECT_TRUE(ng.WaitForLampAfter(&lamps, { ICON_RED }));
    LampScreenshot("lamp-red", ICON_RED);
    EXPECT_TRUE(ng.WaitForLampAfter(&lamps, { ICON_YELLOW }));
    LampScreenshot("lamp-yellow", ICON_YELLOW);
    EXPECT_TRUE(ng.WaitForLampAfter(&lamps, { ICON_IDLE }));
    LampScreenshot("lamp-idle", ICON_IDLE);
    ASSERT_TRUE(ChooseFromTrayMenu(ng, ON_LOGGING, "Log preservation stop"));
    ExpectLinesFrom(ReadFileBytes(ng.logPath), expectedLines);

    ASSERT_TRUE(ChooseFromTrayMenu(ng, ON_WITH_LOG_FILE, "Log file View"));
    // The associated program (Wine's Notepad) opens the log.
    HWND notepad = nullptr;
    for (int i = 0; i < 300 && notepad == nullptr; ++i) {
        notepad = FindWindowA("Notepad", nullptr);
        if (notepad == nullptr)
            Sleep(50);
    }
    ASSERT_NE(nullptr, notepad);
    char title[256] = "";
    for (int i = 0; i < 200 && strstr(title, "NetGlow") == nullptr; ++i) {
        Sleep(i == 0 ? 0 : 50); // Notepad names the file once it has loaded it
        GetWindowTextA(notepad, title, sizeof title);
    }
    EXPECT_NE(nullptr, strstr(title, "NetGlow")) << title;
    PostMessageA(notepad, WM_CLOSE, 0, 0);
    WaitUntilGone(notepad);

    ASSERT_TRUE(ChooseFromTrayMenu(ng, ON_WITH_LOG_FILE, "Log file delete"));
    EXPECT_TRUE(PumpUntil([](void* path) { return !PathExists(*static_cast<std::string*>(path)); },
                          &ng.logPath, 5000));

    // Setup while monitoring stops it, and Cancel starts it again.
    ASSERT_TRUE(ChooseFromTrayMenu(ng, ON_NO_LOG, "Setup"));
    setup = WaitForWindow(ng.processId, "#32770", "Setup");
    ASSERT_NE(nullptr, setup);
    EXPECT_TRUE(WaitForCalls("pcap_breakloop", 1));
    EXPECT_TRUE(WaitForLamp(ICON_STOPPED));
    ClickButton(setup, IDC_SETUP_CANCEL);
    ASSERT_TRUE(WaitUntilGone(setup));
    EXPECT_TRUE(WaitForCalls("pcap_activate", 2));

    ASSERT_TRUE(ChooseFromTrayMenu(ng, ON_NO_LOG, "About"));
    HWND about = WaitForWindow(ng.processId, "#32770", "NetGlow");
    ASSERT_NE(nullptr, about);
    Screenshot("about-box", AroundWindow(about, 8), 500);
    ClickButton(about, IDOK);
    ASSERT_TRUE(WaitUntilGone(about));

    // The traffic graph during the replay, then moved as a person drags it.
    ASSERT_TRUE(ChooseFromTrayMenu(ng, ON_NO_LOG, "Traffic graph"));
    HWND graph = WaitForWindow(ng.processId, "NetGlowGraph", "NetGlow - Ethernet");
    ASSERT_NE(nullptr, graph);
    EXPECT_EQ(WS_EX_TOOLWINDOW, GetWindowLongPtrA(graph, GWL_EXSTYLE) & (WS_EX_TOOLWINDOW | WS_EX_APPWINDOW));
    Screenshot("traffic-graph", AroundWindow(graph, 8), 12000);
    // The user turns the apps' dark mode on and back off; the graph's list
    // follows, as does what it draws.
    HWND graphList = FindWindowExA(graph, nullptr, "SysListView32", nullptr);
    const std::pair<DWORD, COLORREF> modes[] = { { 0, RGB(32, 32, 32) }, { 1, RGB(255, 255, 255) } };
    for (const auto& mode : modes) {
        TemporaryValue appsMode(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize",
                                "AppsUseLightTheme", REG_DWORD, &mode.first, sizeof mode.first);
        SendMessageA(graph, WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>("ImmersiveColorSet"));
        EXPECT_EQ(mode.second, static_cast<COLORREF>(SendMessageA(graphList, LVM_GETBKCOLOR, 0, 0))) << mode.first;
        if (mode.first == 0)
            Screenshot("traffic-graph-dark", AroundWindow(graph, 8), 500);
    }
    SetWindowPos(graph, nullptr, 100, 120, 420, 260, SWP_NOZORDER | SWP_NOACTIVATE);

    ASSERT_TRUE(ChooseFromTrayMenu(ng, ON_NO_LOG, "Help"));
    HWND help = WaitForWindow(ng.processId, "HH Parent", nullptr);
    EXPECT_NE(nullptr, help) << "no HTML Help window";
    if (help != nullptr)
        PostMessageA(help, WM_CLOSE, 0, 0);

    // Quit saves the graph's place after the other settings; the next
    // start opens it there, and Esc closes it.
    const Keys savedKeys = { { "WaitTime", "100" }, { "WaitCount", "50" }, { "WaitFlag", "1" },
                             { "CardName", "Ethernet" }, { "CardIndex", "0" }, { "InitOpt", "-1" },
                             { "StartOpt", "0" }, { "NowOpt", "0" }, { "ColorSend", "1" },
                             { "ColorRecv", "2" }, { "TimeoutP", "20" } };
    auto withGraphAt = [&savedKeys](const std::string& x, const std::string& y) {
        Keys keys = savedKeys;
        keys.insert(keys.end(), { { "GraphX", x }, { "GraphY", y }, { "GraphW", "420" }, { "GraphH", "260" } });
        return keys;
    };
    // Opened from the tray menu, its place read, closed with Esc.
    auto graphPlace = [this](RECT* place) {
        ASSERT_TRUE(ChooseFromTrayMenu(ng, OFF, "Traffic graph"));
        HWND window = WaitForWindow(ng.processId, "NetGlowGraph", "NetGlow - Ethernet");
        ASSERT_NE(nullptr, window);
        GetWindowRect(window, place);
        PostMessageA(window, WM_KEYDOWN, VK_ESCAPE, 0);
        EXPECT_TRUE(WaitUntilGone(window));
    };
    const std::string saved = SettingsFile(withGraphAt("100", "120"));
    ASSERT_TRUE(ChooseFromTrayMenu(ng, ON_NO_LOG, "Quit"));
    EXPECT_EQ(0, ng.WaitForExit());
    EXPECT_EQ(saved, ReadFileBytes(ng.settingsPath));
    ASSERT_TRUE(ng.Start());
    ASSERT_NE(nullptr, ng.WaitForMainWindow());
    RECT place = {};
    ASSERT_NO_FATAL_FAILURE(graphPlace(&place));
    EXPECT_EQ(100, place.left);
    EXPECT_EQ(120, place.top);
    EXPECT_EQ(520, place.right);
    EXPECT_EQ(380, place.bottom);
    ASSERT_TRUE(ChooseFromTrayMenu(ng, OFF, "Quit"));
    EXPECT_EQ(0, ng.WaitForExit());
    EXPECT_EQ(saved, ReadFileBytes(ng.settingsPath));

    // A saved place hanging off the screen (far beyond its right edge, above
    // its top) opens moved as little as brings the whole window onto the
    // work area: against its right edge and its top, the size kept. Quit
    // then saves that place.
    RECT work = {};
    ASSERT_TRUE(SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0));
    ASSERT_NO_FATAL_FAILURE(StartWith(withGraphAt("5000", "-900")));
    ASSERT_NO_FATAL_FAILURE(graphPlace(&place));
    EXPECT_EQ(work.right - 420, place.left);
    EXPECT_EQ(work.top, place.top);
    EXPECT_EQ(work.right, place.right);
    EXPECT_EQ(work.top + 260, place.bottom);
    Quit();
    EXPECT_EQ(SettingsFile(withGraphAt(std::to_string(work.right - 420), std::to_string(work.top))),
              ReadFileBytes(ng.settingsPath));
}

namespace {

struct FirstStart {
    LONG width = 0, height = 0;
    LONG_PTR exStyle = 0;
    HWND owner = nullptr;
    bool foreground = false;
    bool taskbarButton = false;
};

// The buttons of Wine's taskbar ("Start" and one per program window).
int TaskbarButtons()
{
    int count = 0;
    HWND taskbar = FindWindowA("Shell_TrayWnd", nullptr);
    for (HWND child = FindWindowExA(taskbar, nullptr, "Button", nullptr); taskbar != nullptr && child != nullptr;
         child = FindWindowExA(taskbar, child, "Button", nullptr))
        count += IsWindowVisible(child) ? 1 : 0;
    return count;
}

struct ButtonWait {
    int before;
};

} // namespace

// The first-run Setup at 100 % and 150 %: drawn for the scaling (not
// stretched), in the foreground, with a taskbar button.
TEST_F(E2E, FirstStartSetupAtEachScaling)
{
    const struct { DWORD dpi; const char* shot; } scalings[] = { { 96, "setup-dialog-100" }, { 144, "setup-dialog-150" } };
    FirstStart seen[2];
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(scalings[i].dpi);
        PrefixScaling scaling(scalings[i].dpi);
        DeleteFileA(ng.settingsPath.c_str());
        ButtonWait buttons = { TaskbarButtons() };
        ASSERT_TRUE(ng.Start());
        HWND setup = WaitForWindow(ng.processId, "#32770", "Setup");
        ASSERT_NE(nullptr, setup);
        seen[i].owner = GetWindow(setup, GW_OWNER);
        // The shell adds the button a moment after the window is shown.
        seen[i].taskbarButton = PumpUntil([](void* wait) {
            return TaskbarButtons() == static_cast<ButtonWait*>(wait)->before + 1;
        }, &buttons, 5000);
        RECT client;
        GetClientRect(setup, &client);
        seen[i].width = client.right;
        seen[i].height = client.bottom;
        seen[i].exStyle = GetWindowLongPtrA(setup, GWL_EXSTYLE);
        // Shown first, then brought to the foreground: wait for the second step.
        seen[i].foreground = PumpUntil([](void* window) { return GetForegroundWindow() == static_cast<HWND>(window); },
                                       setup, 5000);
        Screenshot(scalings[i].shot, AroundWindow(setup, 8), 500);
        ClickButton(setup, IDC_SETUP_CANCEL);
        ASSERT_TRUE(AnswerBox(ng.processId, "Discard Changes?", IDYES));  // Automatic stands chosen
        ASSERT_TRUE(WaitUntilGone(setup));
        ASSERT_NE(nullptr, ng.WaitForMainWindow());
        Quit();
        EXPECT_TRUE(seen[i].foreground);
        EXPECT_NE(0, seen[i].exStyle & WS_EX_APPWINDOW);
        EXPECT_EQ(nullptr, seen[i].owner);
        EXPECT_TRUE(seen[i].taskbarButton);
    }
    // Dialog units follow the font, which follows the scaling: about one and
    // a half times as large, as the font's cell rounds (a program unaware of
    // the scaling gets the same size under Wine, and a stretched bitmap of it
    // under Windows).
    for (double ratio : { double(seen[1].width) / seen[0].width, double(seen[1].height) / seen[0].height }) {
        EXPECT_GE(ratio, 1.4);
        EXPECT_LE(ratio, 1.7);
    }
}
