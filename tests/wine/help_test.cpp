// OpenHelp's three calls into the HTML Help viewer and the pause between them.
#include <gtest/gtest.h>
#include "core/app_state.h"
#include "dialogs/dialogs_win.h"
#include "help_fake.h"
#include "support/message_boxes.h"

namespace {


void ExpectSequence(const std::vector<HelpCall>& calls, size_t first)
{
    const struct { UINT command; DWORD_PTR data; } expected[] = { { 0, 0 }, { 1, 0 }, { 15, 21000 } };
    for (size_t i = 0; i < 3; ++i) {
        const HelpCall& call = calls[first + i];
        EXPECT_EQ(nullptr, call.caller) << i;
        EXPECT_EQ("D:\\Tools\\NetGlow\\NetGlow.chm", call.file) << i;
        EXPECT_EQ(expected[i].command, call.command) << i;
        EXPECT_EQ(expected[i].data, call.data) << i;
    }
    // The viewer gets a second to come up before the contents and the topic.
    EXPECT_GE(calls[first + 1].tick - calls[first].tick, 950u);  // tick granularity
    EXPECT_LT(calls[first + 2].tick - calls[first + 1].tick, 500u);
}

TEST(OpenHelp, DisplaysTheFileThenItsContentsThenTheSetupTopic)
{
    ResetAppState();
    lstrcpynA(app.helpPath, "D:\\Tools\\NetGlow\\NetGlow.chm", sizeof app.helpPath);
    help->Reset();
    OpenHelp();
    auto calls = help->Calls();
    ASSERT_EQ(3u, calls.size());
    ExpectSequence(calls, 0);
}

TEST(OpenHelp, TwiceRunsTheWholeSequenceTwice)
{
    ResetAppState();
    lstrcpynA(app.helpPath, "D:\\Tools\\NetGlow\\NetGlow.chm", sizeof app.helpPath);
    help->Reset();
    OpenHelp();
    OpenHelp();
    auto calls = help->Calls();
    ASSERT_EQ(6u, calls.size());
    ExpectSequence(calls, 0);
    ExpectSequence(calls, 3);
}

} // namespace

int main(int argc, char** argv) { return RunTestsWithFakeHelp(argc, argv); }
