// Tray images per size. Every call comes from the GUI thread (the lamp, the
// tray icon and the main window's handlers; the capture thread only posts
// its news to the lamp), which owns all the state here: no lock guards it.
// The size is kept rather than asked of the system at every lamp change.
#include "tray/tray_image_win.h"
#include "core/app_state.h"
#include "res/resource.h"

namespace {

typedef UINT(WINAPI* GetDpiForWindowFunction)(HWND);
typedef int(WINAPI* GetSystemMetricsForDpiFunction)(int, UINT);
typedef HRESULT(WINAPI* GetDpiForMonitorFunction)(HMONITOR, int, UINT*, UINT*);
const int MDT_EFFECTIVE_DPI = 0;

struct TrayImage {
    UINT iconId;
    int size;
    HICON icon;
};

// The four lamps at the few sizes one session meets; beyond that the
// system's shared copy is used, which is never leaked whatever its size.
const int IMAGE_LIMIT = 40;
TrayImage images[IMAGE_LIMIT];
int imageCount = 0;

int traySize = 0;

HICON FindImage(UINT iconId, int size)
{
    for (int i = 0; i < imageCount; ++i)
        if (images[i].iconId == iconId && images[i].size == size)
            return images[i].icon;
    return nullptr;
}

template <typename Function>
Function Bind(HMODULE module, const char* name)
{
    return module != nullptr ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)))
                             : nullptr;
}

// The DPI of the monitor that shows the notification area (Windows 8.1 and
// later): the taskbar's own window may answer for another awareness than ours.
UINT NotifyAreaMonitorDpi()
{
    HMODULE shcore = GetModuleHandleA("shcore.dll");
    if (shcore == nullptr)
        shcore = LoadLibraryExA("shcore.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    auto dpiForMonitor = Bind<GetDpiForMonitorFunction>(shcore, "GetDpiForMonitor");
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
    auto metricsForDpi = Bind<GetSystemMetricsForDpiFunction>(user32, "GetSystemMetricsForDpi");
    if (metricsForDpi != nullptr) {
        UINT dpi = NotifyAreaMonitorDpi();
        auto dpiForWindow = Bind<GetDpiForWindowFunction>(user32, "GetDpiForWindow");
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

// Every lamp at a new size at once, so that the lamp's changes during
// traffic only ever look their images up.
void LoadEveryLamp(int size)
{
    const UINT lamps[] = { ICON_STOPPED, ICON_IDLE, ICON_YELLOW, ICON_RED };
    for (UINT iconId : lamps)
        LoadAtSize(iconId, size);
}

} // namespace

int CurrentTrayImageSize()
{
    int size = traySize;
    if (size == 0) {
        size = SizeNow();
        LoadEveryLamp(size);
        traySize = size;
    }
    return size;
}

HICON LoadTrayImage(UINT iconId)
{
    return LoadAtSize(LOWORD(iconId), CurrentTrayImageSize());
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
