// The tray menu's contents and placement, decided without the window system.
#pragma once
#include <cstdint>

enum { TRAY_MENU_MAX_ITEMS = 16 };

struct TrayMenuItem {
    int id;            // 0 for a separator
    const char* text;  // "" for a separator
};

struct TrayMenuItems {
    int count;
    TrayMenuItem items[TRAY_MENU_MAX_ITEMS];
};

// The items for the current state, in menu order.
void BuildTrayMenuItems(bool monitoring, bool logging, bool logFileExists, TrayMenuItems* out);

struct ScreenRect {
    int32_t left, top, right, bottom;
};

struct TrayMenuPlace {
    int32_t x;
    int32_t y;
    bool bottomAligned;  // the menu's bottom edge rests on y
};

// Where the menu opens. With a notification area, beside it: its left edge in
// the left half of the screen, else at the cursor's x; below it in the upper
// half, above it in the lower half. Without one, the same rules on the cursor.
TrayMenuPlace PlaceTrayMenu(bool haveNotifyArea, const ScreenRect& notifyArea,
                            int32_t cursorX, int32_t cursorY,
                            int32_t screenWidth, int32_t screenHeight);
