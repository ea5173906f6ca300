#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "res/resource.h"
#include "tray/tray_menu_rules.h"

namespace {

// "-" stands for a separator.
std::vector<std::string> Texts(const TrayMenuItems& menu)
{
    std::vector<std::string> texts;
    for (int i = 0; i < menu.count; ++i) {
        const TrayMenuItem& item = menu.items[i];
        if (item.id == 0) {
            EXPECT_STREQ("", item.text);
            texts.push_back("-");
        } else {
            texts.push_back(item.text);
        }
    }
    return texts;
}

std::vector<int> Ids(const TrayMenuItems& menu)
{
    std::vector<int> ids;
    for (int i = 0; i < menu.count; ++i)
        ids.push_back(menu.items[i].id);
    return ids;
}

struct MenuCase {
    bool monitoring, logging, logFile;
    std::vector<int> ids;
    std::vector<std::string> texts;
};

TEST(BuildTrayMenuItems, ItemsForEveryState)
{
    const MenuCase cases[] = {
        { false, false, false,
          { 1015, 0, 1021, 1025, 1027, 1026, 1022, 1023, 0, 1024 },
          { "Monitor start", "-", "Setup", "Start with Windows", "Arrows in the lamp", "Traffic graph", "Help", "About", "-", "Quit" } },
        { false, true, false,  // logging without monitoring shows no logging item
          { 1015, 0, 1021, 1025, 1027, 1026, 1022, 1023, 0, 1024 },
          { "Monitor start", "-", "Setup", "Start with Windows", "Arrows in the lamp", "Traffic graph", "Help", "About", "-", "Quit" } },
        { false, false, true,
          { 1015, 0, 1019, 1020, 0, 1021, 1025, 1027, 1026, 1022, 1023, 0, 1024 },
          { "Monitor start", "-", "Log file View", "Log file delete", "-", "Setup", "Start with Windows", "Arrows in the lamp", "Traffic graph", "Help", "About", "-", "Quit" } },
        { true, false, false,
          { 1016, 0, 1017, 0, 1021, 1025, 1027, 1026, 1022, 1023, 0, 1024 },
          { "Monitor stop", "-", "Log preservation start", "-", "Setup", "Start with Windows", "Arrows in the lamp", "Traffic graph", "Help", "About", "-", "Quit" } },
        { true, true, false,
          { 1016, 0, 1018, 0, 1021, 1025, 1027, 1026, 1022, 1023, 0, 1024 },
          { "Monitor stop", "-", "Log preservation stop", "-", "Setup", "Start with Windows", "Arrows in the lamp", "Traffic graph", "Help", "About", "-", "Quit" } },
        { true, false, true,
          { 1016, 0, 1017, 1019, 1020, 0, 1021, 1025, 1027, 1026, 1022, 1023, 0, 1024 },
          { "Monitor stop", "-", "Log preservation start", "Log file View", "Log file delete", "-",
            "Setup", "Start with Windows", "Arrows in the lamp", "Traffic graph", "Help", "About", "-", "Quit" } },
        { true, true, true,
          { 1016, 0, 1018, 1019, 1020, 0, 1021, 1025, 1027, 1026, 1022, 1023, 0, 1024 },
          { "Monitor stop", "-", "Log preservation stop", "Log file View", "Log file delete", "-",
            "Setup", "Start with Windows", "Arrows in the lamp", "Traffic graph", "Help", "About", "-", "Quit" } },
    };
    for (const auto& c : cases) {
        TrayMenuItems menu;
        menu.count = 99;
        BuildTrayMenuItems(c.monitoring, c.logging, c.logFile, false, false, &menu);
        EXPECT_EQ(c.ids, Ids(menu)) << c.monitoring << c.logging << c.logFile;
        EXPECT_EQ(c.texts, Texts(menu)) << c.monitoring << c.logging << c.logFile;
    }
}

// Each option's check mark follows its own setting alone.
TEST(BuildTrayMenuItems, CheckMarksFollowTheirSettings)
{
    const struct {
        bool starts, shapes;
        std::vector<int> checked;
    } cases[] = {
        { false, false, {} },
        { true, false, { 1025 } },
        { false, true, { 1027 } },
        { true, true, { 1025, 1027 } },
    };
    for (const auto& c : cases) {
        TrayMenuItems menu;
        BuildTrayMenuItems(true, true, true, c.starts, c.shapes, &menu);
        std::vector<int> checked;
        for (int i = 0; i < menu.count; ++i)
            if (menu.items[i].checked)
                checked.push_back(menu.items[i].id);
        EXPECT_EQ(c.checked, checked) << c.starts << c.shapes;
    }
}

struct PlaceCase {
    const char* where;
    bool haveArea;
    ScreenRect area;
    int32_t cursorX, cursorY;
    int32_t x, y;
    bool bottomAligned;
};

TEST(PlaceTrayMenu, BesideTheNotificationAreaOrTheCursor)
{
    // A 1024 x 768 screen.
    const PlaceCase cases[] = {
        { "taskbar at the bottom", true, { 850, 740, 1024, 768 }, 900, 755, 900, 740, true },
        { "taskbar at the top", true, { 850, 0, 1024, 28 }, 900, 10, 900, 28, false },
        { "taskbar at the left", true, { 0, 600, 60, 768 }, 20, 700, 0, 600, true },
        { "left taskbar, area in the upper half", true, { 0, 100, 60, 300 }, 30, 200, 0, 300, false },
        { "right taskbar", true, { 964, 600, 1024, 768 }, 990, 650, 990, 600, true },
        { "left edge exactly at half the width", true, { 512, 740, 600, 768 }, 530, 750, 530, 740, true },
        { "left edge just left of half", true, { 511, 740, 600, 768 }, 530, 750, 511, 740, true },
        { "top exactly at half the height", true, { 900, 384, 1024, 400 }, 950, 390, 950, 384, true },
        { "top just above half", true, { 900, 383, 1024, 400 }, 950, 390, 950, 400, false },
        { "no area, cursor bottom right", false, { 0, 0, 0, 0 }, 900, 700, 900, 700, true },
        { "no area, cursor top left", false, { 0, 0, 0, 0 }, 40, 30, 40, 30, false },
        { "no area, cursor top right", false, { 0, 0, 0, 0 }, 1000, 5, 1000, 5, false },
    };
    for (const auto& c : cases) {
        TrayMenuPlace place = PlaceTrayMenu(c.haveArea, c.area, c.cursorX, c.cursorY, 1024, 768);
        EXPECT_EQ(c.x, place.x) << c.where;
        EXPECT_EQ(c.y, place.y) << c.where;
        EXPECT_EQ(c.bottomAligned, place.bottomAligned) << c.where;
    }
}

TEST(PlaceTrayMenuAtIcon, BesideTheIconTowardsTheMiddleOfItsMonitor)
{
    const ScreenRect primary = { 0, 0, 1920, 1080 };
    const ScreenRect leftOfPrimary = { -1280, 0, 0, 1024 };
    const struct {
        const char* where;
        ScreenRect icon, monitor;
        int32_t x, y;
        bool rightAligned, bottomAligned;
    } cases[] = {
        { "bottom taskbar, right end", { 1800, 1040, 1824, 1080 }, primary, 1824, 1040, true, true },
        { "top taskbar, right end", { 1800, 0, 1824, 40 }, primary, 1824, 40, true, false },
        { "left taskbar, bottom end", { 8, 1000, 32, 1024 }, primary, 8, 1000, false, true },
        { "left taskbar, top end", { 8, 100, 32, 124 }, primary, 8, 124, false, false },
        { "monitor left of the primary", { -100, 984, -76, 1024 }, leftOfPrimary, -76, 984, true, true },
        { "icon reaching past its monitor", { 1900, 1060, 1940, 1100 }, primary, 1920, 1060, true, true },
    };
    for (const auto& c : cases) {
        TrayMenuPlace place = PlaceTrayMenuAtIcon(c.icon, c.monitor);
        EXPECT_EQ(c.x, place.x) << c.where;
        EXPECT_EQ(c.y, place.y) << c.where;
        EXPECT_EQ(c.rightAligned, place.rightAligned) << c.where;
        EXPECT_EQ(c.bottomAligned, place.bottomAligned) << c.where;
    }
}

TEST(PlaceTrayMenu, HalvesAreIntegerDivisions)
{
    // Width 1023: half is 511, so a left edge of 511 is no longer in the left half.
    TrayMenuPlace place = PlaceTrayMenu(true, { 511, 700, 600, 767 }, 540, 720, 1023, 767);
    EXPECT_EQ(540, place.x);
    // Height 767: half is 383.
    place = PlaceTrayMenu(true, { 0, 383, 60, 400 }, 10, 390, 1023, 767);
    EXPECT_EQ(383, place.y);
    EXPECT_TRUE(place.bottomAligned);
}

} // namespace
