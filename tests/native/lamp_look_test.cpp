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

// Per look, for stopped, idle, sent yellow, sent red, received yellow and
// received red: the images, and the lamps as the look draws them (two
// lamps drawn alike are one lamp to the lamp's timing); then the images
// loaded together for the look.
struct LookCase {
    const char* what;
    LampLook look;
    std::vector<unsigned> images;
    std::vector<unsigned> drawn;
    std::vector<unsigned> loaded;
};

TEST(LampLook, EachLookChoosesItsSetAndDrawsOnlyWhatItShows)
{
    const unsigned S = ICON_STOPPED, I = ICON_IDLE;
    const LookCase cases[] = {
        { "dark taskbar: the light outline, colours alone", DARK, { 132, 133, 134, 135, 134, 135 },
          { S, I, SENT_YELLOW, SENT_RED, SENT_YELLOW, SENT_RED }, { 132, 133, 134, 135 } },
        { "light taskbar: the black outline", LIGHT, { 128, 129, 130, 131, 130, 131 },
          { S, I, SENT_YELLOW, SENT_RED, SENT_YELLOW, SENT_RED }, { 128, 129, 130, 131 } },
        { "dark taskbar with shapes: arrows up and down", DARK_SHAPES, { 142, 143, 144, 145, 146, 147 },
          { S, I, SENT_YELLOW, SENT_RED, RECV_YELLOW, RECV_RED }, { 142, 143, 144, 145, 146, 147 } },
        { "light taskbar with shapes", LIGHT_SHAPES, { 136, 137, 138, 139, 140, 141 },
          { S, I, SENT_YELLOW, SENT_RED, RECV_YELLOW, RECV_RED }, { 136, 137, 138, 139, 140, 141 } },
        { "high contrast, light window colour: dark shapes, the colour not drawn", CONTRAST_LIGHT_WINDOW,
          { 148, 149, 150, 150, 151, 151 }, { S, I, SENT_RED, SENT_RED, RECV_RED, RECV_RED }, { 148, 149, 150, 151 } },
        { "high contrast, dark window colour: light shapes, whatever the taskbar and shapes", CONTRAST_DARK_WINDOW,
          { 152, 153, 154, 154, 155, 155 }, { S, I, SENT_RED, SENT_RED, RECV_RED, RECV_RED }, { 152, 153, 154, 155 } },
    };
    const unsigned lamps[] = { ICON_STOPPED, ICON_IDLE, SENT_YELLOW, SENT_RED, RECV_YELLOW, RECV_RED };
    for (const auto& c : cases) {
        std::vector<unsigned> images, drawn;
        for (unsigned lamp : lamps) {
            images.push_back(LampImage(lamp, c.look));
            drawn.push_back(LampDrawn(lamp, c.look));
        }
        EXPECT_EQ(c.images, images) << c.what;
        EXPECT_EQ(c.drawn, drawn) << c.what;
        unsigned loaded[8];
        int count = LampImagesOfLook(c.look, loaded, 8);
        EXPECT_EQ(c.loaded, std::vector<unsigned>(loaded, loaded + count)) << c.what;
        EXPECT_EQ(2, LampImagesOfLook(c.look, loaded, 2)) << c.what << ": no more than the room";
    }
}

} // namespace
