// The traffic graph's colours in the windows' light or dark mode and in high
// contrast, decided without the window system. Portable.
#pragma once
#include <cstdint>

enum GraphLook {
    GRAPH_LOOK_LIGHT,
    GRAPH_LOOK_DARK,
    GRAPH_LOOK_HIGH_CONTRAST
};

// High contrast wins over the light or dark setting: its scheme is the
// user's choice for every window.
GraphLook ChooseGraphLook(bool highContrast, bool appsUseLightTheme);

// A colour as COLORREF holds it: 0x00bbggrr.
typedef uint32_t GraphRgb;

// The system's colours (GetSysColor), which high contrast takes as they are.
struct SystemColours {
    GraphRgb window;      // COLOR_WINDOW
    GraphRgb windowText;  // COLOR_WINDOWTEXT
    GraphRgb grayText;    // COLOR_GRAYTEXT
    GraphRgb highlight;   // COLOR_HIGHLIGHT
};

struct GraphColours {
    GraphRgb background;    // the plot, the window around the list, the list
    GraphRgb text;          // the plot's texts, greyed while monitoring is off
    GraphRgb listText;
    GraphRgb grid;
    GraphRgb sentLine;
    GraphRgb receivedLine;  // the received area's edge
    GraphRgb receivedFill;
    bool hatchedFill;       // the received area as a pattern over the background
    bool ownHeader;         // the list's header drawn in the two colours below
    GraphRgb headerBackground;
    GraphRgb headerText;
};

// The colours of a look for the Setup's lamp colours of the two directions
// (1 red, any other yellow); while monitoring is off both are grey. In the
// light and dark looks every line stands at least 3:1 against the background
// (WCAG contrast ratio); high contrast uses the system's scheme, which
// answers for its own contrast.
GraphColours ChooseGraphColours(GraphLook look, int32_t sendColour, int32_t receiveColour, bool off,
                                const SystemColours& system);

// The title bar's request to the desktop window manager: the attribute that
// turns its dark frame on or off (DWMWA_USE_IMMERSIVE_DARK_MODE, 20 from
// Windows 10 build 19041, 19 before it) and the value, TRUE for the dark
// look only, so that high contrast keeps the frame the system gives it.
struct TitleBarRequest {
    uint32_t attribute;
    int32_t value;
};
TitleBarRequest ChooseTitleBar(GraphLook look, uint32_t windowsBuild);
