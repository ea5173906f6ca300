// The tray icon's context menu: built afresh on each click and opened beside
// the notification area.
#include "tray/tray_menu_win.h"
#include "app/app_state.h"
#include "res/resource.h"
#include "tray/tray_menu_rules.h"

namespace {

struct NotifyAreaSearch {
    RECT rect;
    bool found;
};

HMENU CreateTrayMenu()
{
    TrayMenuItems items;
    BuildTrayMenuItems(app.monitoring == 1, app.logging == 1,
                       GetFileAttributesA(app.logPath) != INVALID_FILE_ATTRIBUTES, &items);
    HMENU menu = CreatePopupMenu();
    if (menu == nullptr)
        return nullptr;
    for (int i = 0; i < items.count; ++i) {
        const TrayMenuItem& item = items.items[i];
        if (item.id == 0)
            AppendMenuA(menu, MF_SEPARATOR, 0, "");
        else
            AppendMenuA(menu, MF_STRING, static_cast<UINT_PTR>(item.id), item.text);
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
    TrayMenuPlace place = PlaceTrayMenu(search.found, area, cursorX, cursor.y, width, height);

    TrackPopupMenuEx(menu, place.bottomAligned ? TPM_BOTTOMALIGN : 0, place.x, place.y,
                     window, nullptr);
    // Lets the menu close properly when the user clicks elsewhere.
    PostMessageA(window, WM_NULL, 0, 0);
    return 0;
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
