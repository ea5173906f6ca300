#include <gtest/gtest.h>
#include "dialogs/setup_rules.h"

namespace {

struct TimeoutCase {
    const char* text;
    bool reads;
    uint32_t value;
};

TEST(ReadTimeoutText, ReadsPlainDigitsUpToTheUnsigned32BitLimit)
{
    const TimeoutCase cases[] = {
        { "0", true, 0 },
        { "20", true, 20 },
        { "007", true, 7 },
        { "4294967295", true, 4294967295u },
        { "00000000004294967295", true, 4294967295u },
        { " 150\t", true, 150 },
        { "4294967296", false, 0 },
        { "99999999999999999999999", false, 0 },
        { "", false, 0 },
        { "   ", false, 0 },
        { "abc", false, 0 },
        { "12ms", false, 0 },
        { "1 2", false, 0 },
        { "-5", false, 0 },
        { "+5", false, 0 },
        { "0x10", false, 0 },
    };
    for (const auto& c : cases) {
        uint32_t value = 12345;
        EXPECT_EQ(c.reads, ReadTimeoutText(c.text, &value)) << '"' << c.text << '"';
        EXPECT_EQ(c.value, value) << '"' << c.text << '"';
    }
    uint32_t value = 1;
    EXPECT_FALSE(ReadTimeoutText(nullptr, &value));
    EXPECT_EQ(0u, value);
}

// Controls exactly as the dialog shows the defaults.
SetupControls Shown() { return { 0, true, false, false, true, false, false, 20 }; }
SetupValues Stored() { return { 0, 1, 2, 0, 0, 20 }; }

TEST(SetupControlsDiffer, UntouchedControlsAreNoChange)
{
    EXPECT_EQ(0, SetupControlsDiffer(Shown(), Stored()));
}

TEST(SetupControlsDiffer, EachEditedControlIsAChange)
{
    struct Case { const char* what; void (*edit)(SetupControls&); };
    const Case cases[] = {
        { "other adapter", [](SetupControls& c) { c.listSelection = 1; } },
        { "automatic", [](SetupControls& c) { c.listSelection = SETUP_AUTOMATIC; } },
        { "send yellow", [](SetupControls& c) { c.sendRed = false; c.sendYellow = true; } },
        { "recv red", [](SetupControls& c) { c.recvRed = true; c.recvYellow = false; } },
        { "start option", [](SetupControls& c) { c.startOpt = true; } },
        { "now option", [](SetupControls& c) { c.nowOpt = true; } },
        { "timeout", [](SetupControls& c) { c.timeout = 21; } },
        { "timeout unreadable", [](SetupControls& c) { c.timeout = 0; } },
    };
    for (const auto& c : cases) {
        SetupControls controls = Shown();
        c.edit(controls);
        EXPECT_EQ(1, SetupControlsDiffer(controls, Stored())) << c.what;
    }
}

TEST(SetupControlsDiffer, EmptySelectionIsNoChange)
{
    SetupControls controls = Shown();
    controls.listSelection = -1;
    SetupValues values = Stored();
    values.selectedIndex = 3;
    EXPECT_EQ(0, SetupControlsDiffer(controls, values));
}

TEST(SetupControlsDiffer, PreselectedFirstItemDiffersFromNoAdapter)
{
    SetupValues values = Stored();
    values.selectedIndex = -1;
    EXPECT_EQ(1, SetupControlsDiffer(Shown(), values));
}

TEST(SetupControlsDiffer, OddStoredValuesCompareWithNothing)
{
    SetupValues values = Stored();
    values.ColorSend = 3;
    values.ColorRecv = 0;
    values.StartOpt = 2;
    values.NowOpt = -1;
    // Whatever the buttons show, these four never count.
    for (int bits = 0; bits < 16; ++bits) {
        SetupControls controls = Shown();
        controls.sendRed = bits & 1;
        controls.sendYellow = !(bits & 1);
        controls.recvRed = bits & 2;
        controls.recvYellow = !(bits & 2);
        controls.startOpt = bits & 4;
        controls.nowOpt = bits & 8;
        EXPECT_EQ(0, SetupControlsDiffer(controls, values)) << bits;
    }
}

TEST(SetupControlsDiffer, TimeoutComparesAsShownUnsigned)
{
    SetupControls controls = Shown();
    SetupValues values = Stored();
    values.TimeoutP = -1;
    controls.timeout = 4294967295u;
    EXPECT_EQ(0, SetupControlsDiffer(controls, values));
    values.TimeoutP = 0;
    controls.timeout = 0;
    EXPECT_EQ(0, SetupControlsDiffer(controls, values));
}

TEST(SetupCardChosen, NeedsATableAndASelectionInside)
{
    struct Case { int32_t count, selection; bool chosen; };
    const Case cases[] = {
        { 0, -1, false }, { 0, 0, false }, { 2, -1, false }, { 2, 0, true },
        { 2, 1, true }, { 2, 2, false }, { -1, 0, false },
        { 0, SETUP_AUTOMATIC, true }, { 2, SETUP_AUTOMATIC, true },
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.chosen, SetupCardChosen(c.count, c.selection)) << c.count << ' ' << c.selection;
}

// The list: item 0 is Automatic, item i+1 the table's entry i.
TEST(SetupList, ItemsStandForAutomaticOrAnEntryAndOpenOnTheStoredChoice)
{
    EXPECT_EQ(-1, ChoiceOfListItem(-1));
    EXPECT_EQ(SETUP_AUTOMATIC, ChoiceOfListItem(0));
    EXPECT_EQ(0, ChoiceOfListItem(1));
    EXPECT_EQ(4, ChoiceOfListItem(5));
    struct Case { int32_t cardAuto; bool firstRun; int32_t selectedIndex, count, item; };
    const Case cases[] = {
        { 1, false, 2, 3, 0 },   // Automatic stored
        { 0, true, 2, 3, 0 },    // the first run
        { 0, false, 2, 3, 3 },   // the stored adapter
        { 0, false, -1, 3, 1 },  // none stored: the first adapter
        { 0, false, 3, 3, -1 },  // stored past the table: nothing
        { 0, false, -1, 0, -1 }, // no adapters: nothing
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.item, PreselectedListItem(c.cardAuto, c.firstRun, c.selectedIndex, c.count))
            << c.cardAuto << ' ' << c.firstRun << ' ' << c.selectedIndex << ' ' << c.count;
}

TEST(ColorFromRedButton, RedIsOneAnythingElseTwo)
{
    EXPECT_EQ(1, ColorFromRedButton(true));
    EXPECT_EQ(2, ColorFromRedButton(false));
}

} // namespace
