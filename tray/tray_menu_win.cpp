// The tray icon's context menu: built afresh on each click and opened at the
// icon, else beside the notification area, else at the cursor.
#include "tray/tray_menu_win.h"
#include "core/app_state.h"
#include "core/bind_entry.h"
#include "res/resource.h"
#include "tray/tray_menu_rules.h"
#include "tray/start_with_windows_win.h"

namespace {

struct NotifyAreaSearch {
    RECT rect;
    bool found;
};

// Shell_NotifyIconGetRect's record (Windows 7 and later).
struct IconIdentifier {
    DWORD cbSize;
    HWND hWnd;
    UINT uID;
    GUID guidItem;
};
using GetIconRectFunction = HRESULT WINAPI(const IconIdentifier*, RECT*);

// Where the shell shows our icon; bound at run time, as older systems lack it
// and some shells answer that they do not know.
bool FindIconRect(HWND window, RECT* rect)
{
    GetIconRectFunction* getRect = BindEntry<GetIconRectFunction>(GetModuleHandleA("shell32.dll"),
                                                                  "Shell_NotifyIconGetRect");
    if (getRect == nullptr)
        return false;
    IconIdentifier icon;
    ZeroMemory(&icon, sizeof icon);
    icon.cbSize = sizeof icon;
    icon.hWnd = window;
    icon.uID = TRAY_ICON_ID;
    return SUCCEEDED(getRect(&icon, rect)) && rect->right > rect->left && rect->bottom > rect->top;
}

bool PlaceAtIcon(HWND window, TrayMenuPlace* place)
{
    RECT icon;
    if (!FindIconRect(window, &icon))
        return false;
    MONITORINFO monitor;
    monitor.cbSize = sizeof monitor;
    if (!GetMonitorInfoA(MonitorFromRect(&icon, MONITOR_DEFAULTTONEAREST), &monitor))
        return false;
    const RECT& m = monitor.rcMonitor;
    *place = PlaceTrayMenuAtIcon(ScreenRect{ icon.left, icon.top, icon.right, icon.bottom },
                                 ScreenRect{ m.left, m.top, m.right, m.bottom });
    return true;
}

HMENU CreateTrayMenu()
{
    TrayMenuItems items;
    BuildTrayMenuItems(app.monitoring == 1, app.logging == 1,
                       GetFileAttributesA(app.logPath) != INVALID_FILE_ATTRIBUTES, StartsWithWindows(),
                       app.LampShapes == 1, &items);
    HMENU menu = CreatePopupMenu();
    if (menu == nullptr)
        return nullptr;
    for (int i = 0; i < items.count; ++i) {
        const TrayMenuItem& item = items.items[i];
        if (item.id == 0)
            AppendMenuA(menu, MF_SEPARATOR, 0, "");
        else
            AppendMenuA(menu, MF_STRING | (item.checked ? MF_CHECKED : MF_UNCHECKED),
                        static_cast<UINT_PTR>(item.id), item.text);
    }
    return menu;
}

} // namespace

BOOL CALLBACK NotifyAreaEnumProc(HWND child, LPARAM rectAddress)
{
    char className[260];
    GetClassNameA(child, className, sizeof className);
    if (lstrcmpA(className, "TrayNotifyWnd") != 0)
        return TRUE;
    NotifyAreaSearch* search = reinterpret_cast<NotifyAreaSearch*>(rectAddress);
    GetWindowRect(child, &search->rect);
    search->found = true;
    return FALSE;
}

int ShowTrayMenu(HWND window, int cursorX, HMENU menu)
{
    if (app.startingUp || app.dialogOpen == 1 || app.messageBoxOpen > 0)
        return 0;

    TrayMenuPlace place;
    if (!PlaceAtIcon(window, &place))
        place = PlaceBesideNotifyArea(window, cursorX);
    UINT flags = (place.bottomAligned ? TPM_BOTTOMALIGN : 0) | (place.rightAligned ? TPM_RIGHTALIGN : 0);
    TrackPopupMenuEx(menu, flags, place.x, place.y, window, nullptr);
    // Lets the menu close properly when the user clicks elsewhere.
    PostMessageA(window, WM_NULL, 0, 0);
    return 0;
}

TrayMenuPlace PlaceBesideNotifyArea(HWND window, int cursorX)
{
    NotifyAreaSearch search = { { 0, 0, 0, 0 }, false };
    HWND taskbar = FindWindowA("Shell_TrayWnd", nullptr);
    if (taskbar != nullptr)
        EnumChildWindows(taskbar, NotifyAreaEnumProc, reinterpret_cast<LPARAM>(&search));

    HDC dc = GetDC(window);
    int width = GetDeviceCaps(dc, HORZRES);
    int height = GetDeviceCaps(dc, VERTRES);
    ReleaseDC(window, dc);

    // Without a notification area (no such window in some shells) the menu
    // opens at the cursor rather than in the screen's corner.
    POINT cursor = { cursorX, 0 };
    if (!search.found)
        GetCursorPos(&cursor);
    ScreenRect area = { search.rect.left, search.rect.top, search.rect.right, search.rect.bottom };
    return PlaceTrayMenu(search.found, area, cursorX, cursor.y, width, height);
}

LRESULT OnTrayCallback(HWND window, WPARAM iconId, LPARAM mouseMessage)
{
    if (mouseMessage != WM_MOUSEMOVE)
        SetForegroundWindow(window);
    if (iconId != TRAY_ICON_ID || (mouseMessage != WM_LBUTTONDOWN && mouseMessage != WM_RBUTTONDOWN))
        return 0;
    HMENU menu = CreateTrayMenu();
    if (menu == nullptr)
        return 0;
    POINT cursor = { 0, 0 };
    GetCursorPos(&cursor);
    ShowTrayMenu(window, cursor.x, menu);
    DestroyMenu(menu);
    return 0;
}
