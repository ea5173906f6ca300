// After each read: read again, report the device lost, or reopen it,
// at once after a resume and after a pause after a failure.
#include <gtest/gtest.h>
#include "monitor/read_steps.h"

TEST(ReadSteps, EveryReadEndResumeAndReopen)
{
    const struct {
        ReadEnd end;
        bool resumed;
        bool reopened;
        AfterRead expected;
    } cases[] = {
        { ReadEnd::Frames, false, false, AfterRead::ReadAgain },
        { ReadEnd::Frames, false, true, AfterRead::ReadAgain },
        // A stop is seen before the decision: a break here is a resume's,
        // come late to a handle that was already opened again.
        { ReadEnd::Break, false, false, AfterRead::ReadAgain },
        { ReadEnd::Break, false, true, AfterRead::ReadAgain },
        { ReadEnd::Error, false, false, AfterRead::ReopenAfterPause },
        { ReadEnd::Error, false, true, AfterRead::ReportLost },
        { ReadEnd::Frames, true, false, AfterRead::ReopenNow },
        { ReadEnd::Frames, true, true, AfterRead::ReopenNow },
        { ReadEnd::Break, true, false, AfterRead::ReopenNow },
        { ReadEnd::Break, true, true, AfterRead::ReopenNow },
        { ReadEnd::Error, true, false, AfterRead::ReopenNow },
        { ReadEnd::Error, true, true, AfterRead::ReopenNow },
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.expected, NextAfterRead(c.end, c.resumed, c.reopened))
            << "end " << static_cast<int>(c.end) << ", resumed " << c.resumed << ", reopened " << c.reopened;
}
