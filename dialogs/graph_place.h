// Where the traffic graph window opens, decided without the window system.
// Portable.
#pragma once
#include "tray/tray_menu_rules.h"

// With no saved place: the corner of the work area nearest the notification
// area, a margin in from its edges.
ScreenRect DefaultGraphPlace(const ScreenRect& notifyArea, const ScreenRect& workArea,
                             int32_t width, int32_t height, int32_t margin);

// A saved place (any numbers a settings file may hold) moved onto the work
// area of the nearest monitor, as little as brings the whole window in; a
// window larger than the work area is made to fit it.
ScreenRect KeepOnWorkArea(int32_t left, int32_t top, int32_t width, int32_t height,
                          const ScreenRect& workArea);
