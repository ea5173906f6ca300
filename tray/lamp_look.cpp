#include "tray/lamp_look.h"
#include "res/resource.h"

namespace {

// The lamps in the order of the resource ids of a shapes set: stopped,
// idle, sent yellow, sent red, received yellow, received red.
int ShapeIndex(unsigned lamp)
{
    bool received = (lamp & LAMP_RECEIVED) != 0;
    switch (lamp & ~LAMP_RECEIVED) {
    case ICON_STOPPED: return 0;
    case ICON_IDLE: return 1;
    case ICON_YELLOW: return received ? 4 : 2;
    default: return received ? 5 : 3;
    }
}

} // namespace

unsigned LampDrawn(unsigned lamp, const LampLook& look)
{
    unsigned colour = lamp & ~LAMP_RECEIVED;
    if (colour == ICON_STOPPED || colour == ICON_IDLE)
        return colour;
    if (look.highContrast)
        return ICON_RED | (lamp & LAMP_RECEIVED);
    return look.shapes ? lamp : colour;
}

unsigned LampImage(unsigned lamp, const LampLook& look)
{
    int shape = ShapeIndex(LampDrawn(lamp, look));
    if (look.highContrast) {
        // stopped, idle, sent, received
        static const int HIGH_CONTRAST_INDEX[] = { 0, 1, 2, 2, 3, 3 };
        unsigned first = look.lightOnDark ? ICON_HC_LIGHT_STOPPED : ICON_HC_DARK_STOPPED;
        return first + HIGH_CONTRAST_INDEX[shape];
    }
    if (look.shapes)
        return (look.lightTaskbar ? ICON_SHAPE_STOPPED : ICON_DARK_SHAPE_STOPPED) + shape;
    // Without shapes the index is the colour's: stopped, idle, yellow, red.
    return (look.lightTaskbar ? ICON_STOPPED : ICON_DARK_STOPPED) + shape;
}

int LampImagesOfLook(const LampLook& look, unsigned* ids, int room)
{
    static const unsigned LAMPS[] = { ICON_STOPPED, ICON_IDLE, ICON_YELLOW, ICON_RED,
                                      ICON_YELLOW | LAMP_RECEIVED, ICON_RED | LAMP_RECEIVED };
    int count = 0;
    for (unsigned lamp : LAMPS) {
        unsigned id = LampImage(lamp, look);
        bool known = false;
        for (int i = 0; i < count; ++i)
            known = known || ids[i] == id;
        if (!known && count < room)
            ids[count++] = id;
    }
    return count;
}
