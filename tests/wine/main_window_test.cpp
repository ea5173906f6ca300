// The main window's creation offers the tray icon "WaitCount" times,
// "WaitTime" ms apart, and closes the window when the shell keeps refusing it.
// Wine's notification area accepts every icon, so the test's own stand-in for
// Shell_NotifyIconA refuses as many as the case says.
#include <gtest/gtest.h>
#include <fstream>
#include <vector>
#include "core/app_state.h"
#include "app/main_window_win.h"
#include "res/resource.h"
#include "support/import_patch.h"
#include "tray/tray_icon_win.h"
#include "support/test_files.h"

namespace {

std::vector<DWORD> messages, times;
int refusals;

BOOL WINAPI RefusingNotifyIcon(DWORD message, PNOTIFYICONDATAA)
{
    messages.push_back(message);
    times.push_back(GetTickCount());
    return message != NIM_ADD || refusals-- <= 0;
}

bool ClassRegistered()
{
    static bool registered = RegisterMainWindowClass(GetModuleHandleA(nullptr));
    return registered;
}

TEST(MainWindow, OffersTheIconWaitCountTimesWaitTimeApartThenCloses)
{
    ASSERT_TRUE(ClassRegistered());
    const int WAIT_TIME = 150, WAIT_COUNT = 3, TICK = 16; // a tick of the clock may shorten a pause
    void* real = PatchImport("Shell_NotifyIconA", reinterpret_cast<void*>(RefusingNotifyIcon));
    ASSERT_NE(nullptr, real);
    for (int refused : { 0, 2, 3 }) {
        SCOPED_TRACE(refused);
        ResetAppState();
        app.startingUp = 1; // as in WinMain: giving up must still close the window
        std::string settings = MakeTempFolder("main-window") + "NetGlow.ini";
        lstrcpynA(app.settingsPath, settings.c_str(), sizeof app.settingsPath);
        std::ofstream(settings, std::ios::binary) << "[Option]\r\nWaitTime=" << WAIT_TIME
                                                  << "\r\nWaitCount=" << WAIT_COUNT << "\r\nWaitFlag=1\r\n";
        messages.clear();
        times.clear();
        refusals = refused;
        DWORD start = GetTickCount();
        HWND window = CreateMainWindow(app.instance);
        DWORD took = GetTickCount() - start;

        bool givenUp = refused == WAIT_COUNT;
        std::vector<DWORD> expected(givenUp ? WAIT_COUNT : refused + 1, NIM_ADD);
        if (givenUp)
            expected.insert(expected.end(), 2, NIM_DELETE); // the give-up, then the window's end
        EXPECT_EQ(expected, messages);
        for (int i = 1; i < WAIT_COUNT && i <= refused; ++i) {
            EXPECT_GE(times[i] - times[i - 1], DWORD(WAIT_TIME - TICK)) << i;
            EXPECT_LT(times[i] - times[i - 1], DWORD(WAIT_TIME + 2000)) << i;
        }
        EXPECT_GE(took, DWORD(refused * (WAIT_TIME - TICK))); // the give-up pauses too
        EXPECT_EQ(1, app.trayIconAdded.load()); // whatever the outcome
        EXPECT_EQ(givenUp, window == nullptr);
        MSG quit;
        EXPECT_EQ(givenUp, PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != 0);
        if (window != nullptr) {
            app.startingUp = 0;
            DestroyWindow(window);
            PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
        }
    }
    PatchImport("Shell_NotifyIconA", real);
}

// A scaling change that leaves the small-icon size as it was sends the shell
// nothing; a restarted Explorer gets the icon added again, and only that.
TEST(MainWindow, ScalingAtTheSameIconSizeChangesNothingAndANewShellGetsTheIconBack)
{
    ASSERT_TRUE(ClassRegistered());
    void* real = PatchImport("Shell_NotifyIconA", reinterpret_cast<void*>(RefusingNotifyIcon));
    ASSERT_NE(nullptr, real);
    ResetAppState();
    refusals = 0;
    HWND window = CreateMainWindow(app.instance);
    ASSERT_NE(nullptr, window);
    TrayIconSetImage(ICON_IDLE);
    messages.clear();
    SendMessageA(window, WM_DPICHANGED, MAKEWPARAM(96, 96), 0);
    EXPECT_EQ(std::vector<DWORD>{}, messages);
    SendMessageA(window, RegisterWindowMessageA("TaskbarCreated"), 0, 0);
    EXPECT_EQ(std::vector<DWORD>{ NIM_ADD }, messages);
    DestroyWindow(window);
    MSG quit;
    PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
    PatchImport("Shell_NotifyIconA", real);
}

} // namespace
