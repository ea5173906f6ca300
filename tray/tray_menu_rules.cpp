#include "tray/tray_menu_rules.h"
#include "res/resource.h"

namespace {
void Add(TrayMenuItems* out, int id, const char* text)
{
    if (out->count < TRAY_MENU_MAX_ITEMS)
        out->items[out->count++] = TrayMenuItem{ id, text };
}
void AddSeparator(TrayMenuItems* out) { Add(out, 0, ""); }
}

void BuildTrayMenuItems(bool monitoring, bool logging, bool logFileExists, TrayMenuItems* out)
{
    out->count = 0;
    if (monitoring)
        Add(out, CMD_MONITOR_STOP, "Monitor stop");
    else
        Add(out, CMD_MONITOR_START, "Monitor start");
    AddSeparator(out);
    if (monitoring) {
        if (logging)
            Add(out, CMD_LOG_STOP, "Log preservation stop");
        else
            Add(out, CMD_LOG_START, "Log preservation start");
    }
    if (logFileExists) {
        Add(out, CMD_LOG_VIEW, "Log file View");
        Add(out, CMD_LOG_DELETE, "Log file delete");
        AddSeparator(out);
    } else if (monitoring) {
        AddSeparator(out);
    }
    Add(out, CMD_SETUP, "Setup");
    Add(out, CMD_HELP, "Help");
    Add(out, CMD_ABOUT, "About");
    AddSeparator(out);
    Add(out, CMD_QUIT, "Quit");
}

TrayMenuPlace PlaceTrayMenu(bool haveNotifyArea, const ScreenRect& notifyArea,
                            int32_t cursorX, int32_t cursorY,
                            int32_t screenWidth, int32_t screenHeight)
{
    // No notification area: treat the cursor as an empty one.
    ScreenRect area = haveNotifyArea
        ? notifyArea : ScreenRect{ cursorX, cursorY, cursorX, cursorY };
    TrayMenuPlace place;
    place.x = area.left < screenWidth / 2 ? area.left : cursorX;
    if (area.top < screenHeight / 2) {
        place.y = area.bottom;
        place.bottomAligned = false;
    } else {
        place.y = area.top;
        place.bottomAligned = true;
    }
    return place;
}
