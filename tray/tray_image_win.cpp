// Tray images per size. Every call comes from the GUI thread (the lamp, the
// tray icon and the main window's handlers; the capture thread only posts
// its news to the lamp), which owns all the state here: no lock guards it.
// The size is kept rather than asked of the system at every lamp change.
#include "tray/tray_image_win.h"
#include "core/app_state.h"
#include "core/bind_entry.h"
#include "core/theme_win.h"
#include "res/resource.h"

namespace {

using GetDpiForWindowFunction = UINT WINAPI(HWND);
using GetSystemMetricsForDpiFunction = int WINAPI(int, UINT);
using GetDpiForMonitorFunction = HRESULT WINAPI(HMONITOR, int, UINT*, UINT*);
const int MDT_EFFECTIVE_DPI = 0;

struct TrayImage {
    UINT iconId;
    int size;
    HICON icon;
};

// The lamps of the looks and sizes one session meets (a set has four or
// six); beyond that the system's shared copy is used, which is never leaked
// whatever its size.
const int IMAGE_LIMIT = 96;
TrayImage images[IMAGE_LIMIT];
int imageCount = 0;

int traySize = 0;
LampLook look = { false, false, false, false };
bool lookRead = false;

HICON FindImage(UINT iconId, int size)
{
    for (int i = 0; i < imageCount; ++i)
        if (images[i].iconId == iconId && images[i].size == size)
            return images[i].icon;
    return nullptr;
}

// The DPI of the monitor that shows the notification area (Windows 8.1 and
// later): the taskbar's own window may answer for another awareness than ours.
UINT NotifyAreaMonitorDpi()
{
    HMODULE shcore = GetModuleHandleA("shcore.dll");
    if (shcore == nullptr)
        shcore = LoadLibraryExA("shcore.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    auto dpiForMonitor = BindEntry<GetDpiForMonitorFunction>(shcore, "GetDpiForMonitor");
    if (dpiForMonitor == nullptr)
        return 0;
    HWND taskbar = FindWindowA("Shell_TrayWnd", nullptr);
    HMONITOR monitor = MonitorFromWindow(taskbar != nullptr ? taskbar : app.mainWindow, MONITOR_DEFAULTTOPRIMARY);
    UINT dpiX = 0, dpiY = 0;
    if (FAILED(dpiForMonitor(monitor, MDT_EFFECTIVE_DPI, &dpiX, &dpiY)))
        return 0;
    return dpiY;
}

int SizeNow()
{
    // GetSystemMetricsForDpi came with Windows 10 (1607); bound at run time
    // so that older systems still start, where the system-wide metric serves.
    HMODULE user32 = GetModuleHandleA("user32.dll");
    auto metricsForDpi = BindEntry<GetSystemMetricsForDpiFunction>(user32, "GetSystemMetricsForDpi");
    if (metricsForDpi != nullptr) {
        UINT dpi = NotifyAreaMonitorDpi();
        auto dpiForWindow = BindEntry<GetDpiForWindowFunction>(user32, "GetDpiForWindow");
        if (dpi == 0 && dpiForWindow != nullptr && app.mainWindow != nullptr)
            dpi = dpiForWindow(app.mainWindow);
        int size = dpi != 0 ? metricsForDpi(SM_CXSMICON, dpi) : 0;
        if (size > 0)
            return size;
    }
    int size = GetSystemMetrics(SM_CXSMICON);
    return size > 0 ? size : 16;
}

HICON LoadAtSize(UINT iconId, int size)
{
    HICON icon = FindImage(iconId, size);
    if (icon != nullptr)
        return icon;
    bool room = imageCount < IMAGE_LIMIT;
    icon = static_cast<HICON>(LoadImageA(app.instance, MAKEINTRESOURCEA(iconId), IMAGE_ICON,
                                         size, size, room ? LR_DEFAULTCOLOR : LR_SHARED));
    if (icon != nullptr && room)
        images[imageCount++] = TrayImage{ iconId, size, icon };
    return icon;
}

// Every lamp of the look at a size at once, so that the lamp's changes
// during traffic only ever look their images up.
void LoadEveryLamp(int size)
{
    unsigned ids[8];
    int count = LampImagesOfLook(look, ids, 8);
    for (int i = 0; i < count; ++i)
        LoadAtSize(ids[i], size);
}

LampLook LookNow()
{
    HighContrast contrast = HighContrastNow();
    return LampLook{ TaskbarUsesLightTheme(), app.LampShapes == 1, contrast.on, contrast.lightOnDark };
}

bool SameLook(const LampLook& a, const LampLook& b)
{
    return a.lightTaskbar == b.lightTaskbar && a.shapes == b.shapes && a.highContrast == b.highContrast
        && a.lightOnDark == b.lightOnDark;
}

// True when next differs from the look before; its lamps are then loaded
// if a size has been taken.
bool TakeLook(const LampLook& next)
{
    bool changed = !lookRead || !SameLook(next, look);
    look = next;
    lookRead = true;
    if (changed && traySize != 0)
        LoadEveryLamp(traySize);
    return changed;
}

} // namespace

const LampLook& CurrentLampLook()
{
    if (!lookRead) {
        look = LookNow();
        lookRead = true;
    }
    return look;
}

bool RefreshLampLook()
{
    return TakeLook(LookNow());
}

bool SetLampShapes(bool shapes)
{
    LampLook next = CurrentLampLook();
    next.shapes = shapes;
    return TakeLook(next);
}

int CurrentTrayImageSize()
{
    CurrentLampLook();
    int size = traySize;
    if (size == 0) {
        size = SizeNow();
        LoadEveryLamp(size);
        traySize = size;
    }
    return size;
}

HICON LoadTrayImage(unsigned lamp)
{
    int size = CurrentTrayImageSize();
    return LoadAtSize(LampImage(lamp, look), size);
}

bool RefreshTrayImageSize()
{
    int size = SizeNow();
    if (traySize == size)
        return false;
    LoadEveryLamp(size);
    traySize = size;
    return true;
}
