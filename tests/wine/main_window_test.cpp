// The main window's creation offers the tray icon "WaitCount" times,
// "WaitTime" ms apart, and closes the window when the shell keeps refusing it.
// Wine's notification area accepts every icon, so the test's own stand-in for
// Shell_NotifyIconA refuses as many as the case says.
#include <gtest/gtest.h>
#include <fstream>
#include <vector>
#include "app/app_state.h"
#include "app/main_window_win.h"
#include "support/import_patch.h"
#include "support/test_files.h"

namespace {

struct Offer {
    DWORD message;
    LARGE_INTEGER at;
};
std::vector<Offer> offers;
int refusals;

BOOL WINAPI RefusingNotifyIcon(DWORD message, PNOTIFYICONDATAA)
{
    Offer offer = { message, {} };
    QueryPerformanceCounter(&offer.at);
    offers.push_back(offer);
    if (message != NIM_ADD)
        return TRUE;
    return refusals-- > 0 ? FALSE : TRUE;
}

double Milliseconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to)
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

struct Case {
    int refusals;
    int adds;         // NIM_ADD offers expected
    bool windowLives; // false: closed inside its own creation
};

TEST(MainWindow, OffersTheIconWaitCountTimesWaitTimeApartThenCloses)
{
    static bool registered = RegisterMainWindowClass(GetModuleHandleA(nullptr));
    ASSERT_TRUE(registered);
    const int WAIT_TIME = 150, WAIT_COUNT = 3;
    void* real = PatchImport("Shell_NotifyIconA", reinterpret_cast<void*>(RefusingNotifyIcon));
    ASSERT_NE(nullptr, real);
    for (const Case& c : { Case{ 0, 1, true }, Case{ 2, 3, true }, Case{ 3, 3, false } }) {
        SCOPED_TRACE(c.refusals);
        ResetAppState();
        app.startingUp = 1; // as in WinMain: giving up must still close the window
        std::string settings = MakeTempFolder("main-window") + "NetGlow.ini";
        lstrcpynA(app.settingsPath, settings.c_str(), sizeof app.settingsPath);
        std::ofstream(settings, std::ios::binary) << "[Option]\r\nWaitTime=" << WAIT_TIME
                                                  << "\r\nWaitCount=" << WAIT_COUNT << "\r\nWaitFlag=1\r\n";
        offers.clear();
        refusals = c.refusals;
        LARGE_INTEGER start, end;
        QueryPerformanceCounter(&start);
        HWND window = CreateMainWindow(app.instance);
        QueryPerformanceCounter(&end);

        std::vector<DWORD> messages;
        for (const Offer& offer : offers)
            messages.push_back(offer.message);
        std::vector<DWORD> expected(c.adds, NIM_ADD);
        if (!c.windowLives)
            expected.insert(expected.end(), 2, NIM_DELETE); // the give-up, then the window's end
        EXPECT_EQ(expected, messages);
        EXPECT_EQ(1, app.trayIconAdded.load()); // whatever the outcome
        // Each refusal is followed by a pause of WaitTime, the give-up too; a
        // tick of the system clock (up to 16 ms) may shorten a measured pause.
        for (int i = 1; i < c.adds; ++i) {
            double gap = Milliseconds(offers[i - 1].at, offers[i].at);
            EXPECT_GE(gap, WAIT_TIME - 16.0) << i;
            EXPECT_LT(gap, WAIT_TIME + 2000.0) << i;
        }
        double total = Milliseconds(start, end);
        EXPECT_GE(total, c.refusals * (WAIT_TIME - 16.0));
        EXPECT_EQ(c.windowLives, window != nullptr);
        MSG quit;
        EXPECT_EQ(!c.windowLives, PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != 0);
        if (window != nullptr) {
            app.startingUp = 0;
            DestroyWindow(window);
            PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
        }
    }
    PatchImport("Shell_NotifyIconA", real);
}

} // namespace
