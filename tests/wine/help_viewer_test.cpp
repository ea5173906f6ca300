// OpenHelp with the system's own HTML Help library and no help file: the
// library is found through its registered class, and nothing is reported.
#include <gtest/gtest.h>
#include "core/app_state.h"
#include "dialogs/dialogs_win.h"
#include "support/message_boxes.h"

TEST(OpenHelpWithTheSystemViewer, MissingFileShowsNothingAndCarriesOn)
{
    // Under Wine 8 this case hangs in about half the runs, with today's
    // program and with the program as it was before: the calls into Wine's
    // own hhctrl.ocx for a file that does not exist never return. That wait
    // cannot be awaited from here, so the case is reported as skipped under
    // Wine rather than retried; on Windows it runs.
    if (GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr)
        GTEST_SKIP() << "Wine's hhctrl.ocx hangs at random on a missing help file";
    ResetAppState();
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    snprintf(app.helpPath, sizeof app.helpPath, "%sno-such-folder-%lu\\NetGlow.chm", temp, GetTickCount());
    ASSERT_EQ(nullptr, GetModuleHandleA("hhctrl.ocx"));
    DWORD start = GetTickCount();
    auto seen = RunAnsweringBoxes([](void*) { OpenHelp(); }, nullptr, {});
    EXPECT_GE(GetTickCount() - start, 950u);  // the pause, within tick granularity
    EXPECT_TRUE(seen.empty()) << seen[0].text;
    EXPECT_NE(nullptr, GetModuleHandleA("hhctrl.ocx")) << "the library was not bound";
    EXPECT_EQ(0, app.messageBoxOpen.load());
}
