// The tray menu's contents and placement, decided without the window system.
#pragma once
#include <cstdint>

enum { TRAY_MENU_MAX_ITEMS = 16 };

struct TrayMenuItem {
    int id;            // 0 for a separator
    const char* text;  // "" for a separator
    bool checked;      // shown with a check mark
};

struct TrayMenuItems {
    int count;
    TrayMenuItem items[TRAY_MENU_MAX_ITEMS];
};

// The items for the current state, in menu order. "Start with Windows"
// carries its check mark from startsWithWindows, "Arrows in the lamp" from
// lampShapes.
void BuildTrayMenuItems(bool monitoring, bool logging, bool logFileExists, bool startsWithWindows,
                        bool lampShapes, TrayMenuItems* out);

struct ScreenRect {
    int32_t left, top, right, bottom;
};

struct TrayMenuPlace {
    int32_t x;
    int32_t y;
    bool bottomAligned;  // the menu's bottom edge rests on y
    bool rightAligned;   // the menu's right edge rests on x
};

// Where the menu opens. With a notification area, beside it: its left edge in
// the left half of the screen, else at the cursor's x; below it in the upper
// half, above it in the lower half. Without one, the same rules on the cursor.
TrayMenuPlace PlaceTrayMenu(bool haveNotifyArea, const ScreenRect& notifyArea,
                            int32_t cursorX, int32_t cursorY,
                            int32_t screenWidth, int32_t screenHeight);

// Where the menu opens at the icon's own rectangle, on the icon's monitor:
// beside the icon towards the middle of that monitor (its left edge at the
// icon's left in the left half, its right edge at the icon's right in the
// right half; below the icon in the upper half, above it in the lower half),
// the point kept within the monitor.
TrayMenuPlace PlaceTrayMenuAtIcon(const ScreenRect& icon, const ScreenRect& monitor);
