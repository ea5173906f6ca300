// When the lamp changes: colour at once from dark, out TimeoutP after the
// newest frame and never earlier (at most half a lamp time and 10 ms later
// while frames go on), colour changes held to two per lamp time.
#include <gtest/gtest.h>
#include <vector>
#include "monitor/lamp_rules.h"
#include "res/resource.h"

namespace {
struct Case {
    const char* what;
    LampInput in;
    LampStep expected;
};
const unsigned IDLE = ICON_IDLE, RED = ICON_RED, YELLOW = ICON_YELLOW;
} // namespace

TEST(LampRules, Steps)
{
    // in: now, lastFrame, timeout, frameIcon, shown, lastChange
    const Case cases[] = {
        { "no frame yet", { 5000, 0, 20, IDLE, IDLE, 4000 }, { 0, 0, false } },
        { "first frame lights at once", { 5000, 4999, 20, RED, IDLE, 4990 }, { RED, 19, true } },
        { "same colour: the rest and half a lamp time", { 5010, 5005, 20, RED, RED, 5000 }, { 0, 25, true } },
        { "expiry queued before a newer frame keeps it lit", { 5020, 5019, 20, RED, RED, 5000 }, { 0, 29, true } },
        { "same colour, odd lamp time: half rounds down", { 5010, 5005, 17, RED, RED, 5000 }, { 0, 20, true } },
        { "same colour, a long lamp time: 10 ms late at most", { 5010, 5005, 1000, RED, RED, 5000 }, { 0, 1005, true } },
        { "same colour, the newest frame almost out", { 5024, 5005, 20, RED, RED, 5000 }, { 0, 11, true } },
        { "out exactly TimeoutP after the frame", { 5025, 5005, 20, RED, RED, 5000 }, { IDLE, 0, false } },
        { "out later still", { 9000, 5005, 20, YELLOW, RED, 5000 }, { IDLE, 0, false } },
        { "already dark: nothing", { 9000, 5005, 20, RED, IDLE, 5025 }, { 0, 0, false } },
        { "colour change held off half a lamp time", { 5004, 5004, 20, YELLOW, RED, 5000 }, { 0, 6, true } },
        { "colour change after the hold-off: on time", { 5010, 5009, 20, YELLOW, RED, 5000 }, { YELLOW, 19, true } },
        { "the timer looks again when the hold-off ends", { 5004, 5001, 10, YELLOW, RED, 5000 }, { 0, 1, true } },
        { "TimeoutP 0: colour stays, no timer", { 9000, 5000, 0, RED, RED, 5000 }, { 0, 0, true } },
        { "TimeoutP 0: colour changes at once", { 5001, 5001, 0, YELLOW, RED, 5000 }, { YELLOW, 0, true } },
        { "TimeoutP 0 before any frame", { 5001, 0, 0, IDLE, IDLE, 5000 }, { 0, 0, false } },
        { "stopped lamp shown, frame time passed", { 9000, 5000, 20, RED, ICON_STOPPED, 5000 }, { IDLE, 0, false } },
    };
    for (const Case& c : cases) {
        LampStep step = NextLampStep(c.in);
        EXPECT_EQ(c.expected.showIcon, step.showIcon) << c.what;
        EXPECT_EQ(c.expected.timerMs, step.timerMs) << c.what;
        EXPECT_EQ(c.expected.lit, step.lit) << c.what;
    }
}

TEST(LampRules, AlternatingTrafficChangesTheImageAtMostTwicePerLampTime)
{
    // A read every millisecond for a second, its last frame's colour
    // alternating, and the GUI thread looking after every one of them.
    const uint32_t timeout = 20;
    unsigned shown = IDLE;
    uint64_t lastChange = 0;
    int changes = 0;
    for (uint64_t now = 1000; now < 2000; ++now) {
        LampStep step = NextLampStep({ now, now, timeout, (now % 2) ? RED : YELLOW, shown, lastChange });
        if (step.showIcon != 0) {
            shown = step.showIcon;
            lastChange = now;
            ++changes;
        }
    }
    EXPECT_LE(changes, 2 * 1000 / static_cast<int>(timeout) + 1);
    EXPECT_GE(changes, 1000 / static_cast<int>(timeout));
}

TEST(LampRules, SteadyTrafficIsLookedAtOncePerOneAndAHalfLampTimes)
{
    // A read every 2 ms from 1000 to 1998 (its frame reported before a look
    // at the same moment); the GUI thread looks when the first frame wakes
    // it and then whenever its timer says. TimeoutP 20: lit at 1000, looks
    // at 1020 and every 30 ms to 1980, at 2010 (the newest frame 1998, still
    // lit) and at 2028, 30 ms after the last frame, where it goes out.
    const uint32_t timeout = 20;
    unsigned shown = IDLE;
    uint64_t lastChange = 0;
    uint64_t look = 1000;
    std::vector<uint64_t> looks;
    uint64_t outAt = 0;
    while (look != 0 && looks.size() < 1000) {
        looks.push_back(look);
        uint64_t newest = look >= 1998 ? 1998 : look - look % 2;
        LampStep step = NextLampStep({ look, newest, timeout, RED, shown, lastChange });
        if (step.showIcon != 0) {
            shown = step.showIcon;
            lastChange = look;
            if (shown == IDLE)
                outAt = look;
        }
        look = step.timerMs != 0 ? look + step.timerMs : 0;
    }
    EXPECT_EQ(2028u, outAt);
    ASSERT_EQ(36u, looks.size());
    EXPECT_EQ(1000u, looks[0]);
    EXPECT_EQ(1020u, looks[1]);
    EXPECT_EQ(1050u, looks[2]);
    EXPECT_EQ(1980u, looks[33]);
    EXPECT_EQ(2010u, looks[34]);
    EXPECT_EQ(2028u, looks[35]);
}
