// The test harness's own reading of message boxes must see what a user sees.
#include <gtest/gtest.h>
#include "core/app_state.h"
#include "core/message_box_win.h"
#include "support/message_boxes.h"

namespace {
void ShowError(void*) { ShowAppMessage(nullptr, "Boom.", MB_ICONERROR); }
void AskQuestion(void* answer) { *static_cast<int*>(answer) = ShowAppMessage(nullptr, "Save?", MB_YESNO | MB_ICONQUESTION); }
}

TEST(MessageBoxes, ReadsTextIconAndAnswers)
{
    ResetAppState();
    auto seen = RunAnsweringBoxes(ShowError, nullptr, { IDOK });
    ASSERT_EQ(1u, seen.size());
    EXPECT_EQ("Boom.", seen[0].text);
    EXPECT_EQ(static_cast<UINT>(MB_ICONERROR), seen[0].iconStyle);
    EXPECT_EQ(std::vector<int>{ IDOK }, seen[0].buttons);
    EXPECT_EQ(0, app.messageBoxOpen.load());

    int answer = 0;
    seen = RunAnsweringBoxes(AskQuestion, &answer, { IDNO });
    ASSERT_EQ(1u, seen.size());
    EXPECT_EQ(static_cast<UINT>(MB_ICONQUESTION), seen[0].iconStyle);
    EXPECT_EQ((std::vector<int>{ IDYES, IDNO }), seen[0].buttons);
    EXPECT_EQ(IDNO, answer);
}
