#include "tray/tray_menu_rules.h"
#include "res/resource.h"

namespace {
void Add(TrayMenuItems* out, int id, const char* text, bool checked = false)
{
    if (out->count < TRAY_MENU_MAX_ITEMS)
        out->items[out->count++] = TrayMenuItem{ id, text, checked };
}
void AddSeparator(TrayMenuItems* out) { Add(out, 0, ""); }
}

void BuildTrayMenuItems(bool monitoring, bool logging, bool logFileExists, bool startsWithWindows,
                        bool lampShapes, TrayMenuItems* out)
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
    Add(out, CMD_START_WITH_WINDOWS, "Start with Windows", startsWithWindows);
    Add(out, CMD_LAMP_SHAPES, "Arrows in the lamp", lampShapes);
    Add(out, CMD_TRAFFIC_GRAPH, "Traffic graph");
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
    place.rightAligned = false;
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

namespace {
int32_t Clamp(int32_t value, int32_t low, int32_t high)
{
    return value < low ? low : (value > high ? high : value);
}
}

TrayMenuPlace PlaceTrayMenuAtIcon(const ScreenRect& icon, const ScreenRect& monitor)
{
    // Sums halved separately: screen coordinates may be large or negative.
    int32_t iconX = icon.left / 2 + icon.right / 2;
    int32_t iconY = icon.top / 2 + icon.bottom / 2;
    int32_t middleX = monitor.left / 2 + monitor.right / 2;
    int32_t middleY = monitor.top / 2 + monitor.bottom / 2;
    TrayMenuPlace place;
    place.rightAligned = iconX >= middleX;
    place.bottomAligned = iconY >= middleY;
    place.x = Clamp(place.rightAligned ? icon.right : icon.left, monitor.left, monitor.right);
    place.y = Clamp(place.bottomAligned ? icon.top : icon.bottom, monitor.top, monitor.bottom);
    return place;
}
