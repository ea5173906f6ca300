#include "dialogs/graph_colours.h"

namespace {

constexpr GraphRgb Rgb(uint32_t red, uint32_t green, uint32_t blue)
{
    return red | green << 8 | blue << 16;
}

// The lamp colours of one look: each line against that look's background
// at 3:1 or more, the hue of the lamp kept, lighter on dark, darker on light.
struct Inks {
    GraphRgb redLine, redFill, yellowLine, yellowFill, greyLine, greyFill;
};

struct Look {
    GraphRgb background, text, quietText, grid;
    Inks inks;
    bool ownHeader;
    GraphRgb headerBackground;
};

// Light: the yellow line is darker than the lamp's (191,144,0), which stands
// only 2.9:1 on white.
const Look LIGHT = { Rgb(255, 255, 255), Rgb(0, 0, 0), Rgb(109, 109, 109), Rgb(224, 224, 224),
                     { Rgb(204, 0, 0), Rgb(255, 176, 176), Rgb(170, 128, 0), Rgb(255, 230, 128),
                       Rgb(128, 128, 128), Rgb(216, 216, 216) },
                     false, Rgb(255, 255, 255) };
// Dark: the red line is lighter than the lamp's (204,0,0), 2.8:1 on this
// background; the header is drawn by the program, as the system's stays light.
const Look DARK = { Rgb(32, 32, 32), Rgb(240, 240, 240), Rgb(160, 160, 160), Rgb(64, 64, 64),
                    { Rgb(255, 80, 80), Rgb(112, 32, 32), Rgb(191, 144, 0), Rgb(96, 72, 0),
                      Rgb(150, 150, 150), Rgb(72, 72, 72) },
                    true, Rgb(48, 48, 48) };

GraphRgb LineOf(const Inks& inks, int32_t colour, bool off)
{
    return off ? inks.greyLine : (colour == 1 ? inks.redLine : inks.yellowLine);
}

GraphRgb FillOf(const Inks& inks, int32_t colour, bool off)
{
    return off ? inks.greyFill : (colour == 1 ? inks.redFill : inks.yellowFill);
}

} // namespace

GraphLook ChooseGraphLook(bool highContrast, bool appsUseLightTheme)
{
    if (highContrast)
        return GRAPH_LOOK_HIGH_CONTRAST;
    return appsUseLightTheme ? GRAPH_LOOK_LIGHT : GRAPH_LOOK_DARK;
}

GraphColours ChooseGraphColours(GraphLook look, int32_t sendColour, int32_t receiveColour, bool off,
                                const SystemColours& system)
{
    GraphColours colours;
    if (look == GRAPH_LOOK_HIGH_CONTRAST) {
        // The scheme's pairs: text and grey text on the window colour. The
        // received area is hatched, as a solid fill would hide the sent
        // line wherever the two cross.
        colours.background = system.window;
        colours.text = off ? system.grayText : system.windowText;
        colours.listText = system.windowText;
        colours.grid = system.grayText;
        colours.sentLine = off ? system.grayText : system.highlight;
        colours.receivedLine = off ? system.grayText : system.windowText;
        colours.receivedFill = colours.receivedLine;
        colours.hatchedFill = true;
        colours.ownHeader = false;
        colours.headerBackground = system.window;
        colours.headerText = system.windowText;
        return colours;
    }
    const Look& chosen = look == GRAPH_LOOK_DARK ? DARK : LIGHT;
    colours.background = chosen.background;
    colours.text = off ? chosen.quietText : chosen.text;
    colours.listText = chosen.text;
    colours.grid = chosen.grid;
    colours.sentLine = LineOf(chosen.inks, sendColour, off);
    colours.receivedLine = LineOf(chosen.inks, receiveColour, off);
    colours.receivedFill = FillOf(chosen.inks, receiveColour, off);
    colours.hatchedFill = false;
    colours.ownHeader = chosen.ownHeader;
    colours.headerBackground = chosen.headerBackground;
    colours.headerText = chosen.text;
    return colours;
}

TitleBarRequest ChooseTitleBar(GraphLook look, uint32_t windowsBuild)
{
    const uint32_t firstBuildOf20 = 19041;
    TitleBarRequest request;
    request.attribute = windowsBuild >= firstBuildOf20 ? 20 : 19;
    request.value = look == GRAPH_LOOK_DARK ? 1 : 0;
    return request;
}
