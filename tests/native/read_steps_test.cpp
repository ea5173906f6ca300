// After each read: read again, end, report the device lost, or reopen it,
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
        { ReadEnd::Break, false, false, AfterRead::EndRun },
        { ReadEnd::Break, false, true, AfterRead::EndRun },
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
