#include <gtest/gtest.h>
#include <vector>
#include "res/resource.h"
#include "tray/lamp_look.h"

namespace {

const unsigned SENT_RED = ICON_RED, RECV_RED = ICON_RED | LAMP_RECEIVED;
const unsigned SENT_YELLOW = ICON_YELLOW, RECV_YELLOW = ICON_YELLOW | LAMP_RECEIVED;

// lightTaskbar, shapes, highContrast, lightOnDark
const LampLook DARK = { false, false, false, false };
const LampLook LIGHT = { true, false, false, false };
const LampLook DARK_SHAPES = { false, true, false, false };
const LampLook LIGHT_SHAPES = { true, true, false, false };
const LampLook CONTRAST_LIGHT_WINDOW = { true, false, true, false };
const LampLook CONTRAST_DARK_WINDOW = { false, true, true, true };

// Per look: the images of stopped, idle, sent yellow, sent red, received
// yellow, received red, and the images loaded together for it.
struct LookCase {
    const char* what;
    LampLook look;
    std::vector<unsigned> images;
    std::vector<unsigned> loaded;
};

TEST(LampLook, EachLookChoosesItsSet)
{
    const LookCase cases[] = {
        { "dark taskbar: the light outline, colours alone", DARK,
          { 132, 133, 134, 135, 134, 135 }, { 132, 133, 134, 135 } },
        { "light taskbar: the black outline", LIGHT,
          { 128, 129, 130, 131, 130, 131 }, { 128, 129, 130, 131 } },
        { "dark taskbar with shapes: arrows up and down", DARK_SHAPES,
          { 142, 143, 144, 145, 146, 147 }, { 142, 143, 144, 145, 146, 147 } },
        { "light taskbar with shapes", LIGHT_SHAPES,
          { 136, 137, 138, 139, 140, 141 }, { 136, 137, 138, 139, 140, 141 } },
        { "high contrast, light window colour: dark shapes, the colour not drawn", CONTRAST_LIGHT_WINDOW,
          { 148, 149, 150, 150, 151, 151 }, { 148, 149, 150, 151 } },
        { "high contrast, dark window colour: light shapes, whatever the taskbar and shapes", CONTRAST_DARK_WINDOW,
          { 152, 153, 154, 154, 155, 155 }, { 152, 153, 154, 155 } },
    };
    const unsigned lamps[] = { ICON_STOPPED, ICON_IDLE, SENT_YELLOW, SENT_RED, RECV_YELLOW, RECV_RED };
    for (const auto& c : cases) {
        std::vector<unsigned> images;
        for (unsigned lamp : lamps)
            images.push_back(LampImage(lamp, c.look));
        EXPECT_EQ(c.images, images) << c.what;
        unsigned loaded[8];
        int count = LampImagesOfLook(c.look, loaded, 8);
        EXPECT_EQ(c.loaded, std::vector<unsigned>(loaded, loaded + count)) << c.what;
        EXPECT_EQ(2, LampImagesOfLook(c.look, loaded, 2)) << c.what << ": no more than the room";
    }
}

// Two lamps that draw the same are one lamp to the lamp's timing: only a
// difference the look shows may count as a change of colour.
TEST(LampLook, OnlyWhatTheLookDrawsTellsLampsApart)
{
    const struct {
        unsigned lamp;
        LampLook look;
        unsigned drawn;
    } cases[] = {
        { RECV_RED, DARK, SENT_RED },
        { RECV_YELLOW, LIGHT, SENT_YELLOW },
        { RECV_RED, LIGHT_SHAPES, RECV_RED },
        { SENT_YELLOW, DARK_SHAPES, SENT_YELLOW },
        { RECV_YELLOW, CONTRAST_LIGHT_WINDOW, RECV_RED },
        { SENT_YELLOW, CONTRAST_DARK_WINDOW, SENT_RED },
        { ICON_IDLE, CONTRAST_DARK_WINDOW, ICON_IDLE },
        { ICON_STOPPED, LIGHT_SHAPES, ICON_STOPPED },
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.drawn, LampDrawn(c.lamp, c.look)) << c.lamp;
}

} // namespace
