#include "app/main_window_win.h"
#include "app/tray_commands_win.h"
#include "adapters/adapter_build_win.h"
#include "core/app_state.h"
#include "core/bind_entry.h"
#include "core/result_codes.h"
#include "core/settings_win.h"
#include "app/windows_version.h"
#include "dialogs/dialogs_win.h"
#include "monitor/lamp_win.h"
#include "monitor/monitoring_win.h"
#include "monitor/rates_win.h"
#include "res/resource.h"
#include "tray/tray_icon_win.h"
#include "tray/tray_image_win.h"
#include "tray/tray_menu_win.h"

namespace {

const char WINDOW_CLASS[] = "NetGlow";
// Explorer broadcasts this after a restart; its new notification area has
// forgotten every icon.
UINT taskbarCreatedMessage = 0;
// A second start of the program posts this to the running copy.
const char ALREADY_RUNNING_MESSAGE[] = "NetGlow.AlreadyRunning";
UINT alreadyRunningMessage = 0;
// The installer and the uninstaller send this: the tray menu's Quit. A
// registered message passes the elevation filter where WM_COMMAND cannot.
UINT quitMessage = 0;

// Elevated, the program would hear neither a restarted Explorer nor a
// second start by the user: UIPI drops their messages, sent from lower
// integrity, unless the window lets them through. Looked up, since systems
// before Windows 7 lack the call.
void AllowMessagesFromUnelevatedSenders(HWND window)
{
    using FilterFn = BOOL WINAPI(HWND, UINT, DWORD, void*);
    const DWORD MSGFLT_ALLOW_ACTION = 1; // MSGFLT_ALLOW
    FilterFn* allow = BindEntry<FilterFn>(GetModuleHandleA("user32.dll"), "ChangeWindowMessageFilterEx");
    if (allow == nullptr)
        return;
    allow(window, taskbarCreatedMessage, MSGFLT_ALLOW_ACTION, nullptr);
    allow(window, alreadyRunningMessage, MSGFLT_ALLOW_ACTION, nullptr);
    allow(window, quitMessage, MSGFLT_ALLOW_ACTION, nullptr);
}

void RemoveRestoreCommands(HWND window)
{
    HMENU systemMenu = GetSystemMenu(window, FALSE);
    DeleteMenu(systemMenu, SC_RESTORE, MF_BYCOMMAND);
    DeleteMenu(systemMenu, SC_SIZE, MF_BYCOMMAND);
    DeleteMenu(systemMenu, SC_MAXIMIZE, MF_BYCOMMAND);
    DeleteMenu(systemMenu, SC_MINIMIZE, MF_BYCOMMAND);
}

// The shell may not be ready yet when we start with the session, so the icon
// is offered WaitCount times, WaitTime milliseconds apart.
void RegisterTrayIcon(HWND window)
{
    for (int32_t attempt = 0; attempt < app.WaitCount; ++attempt) {
        // Kept for the run by LoadTrayImage: the tray record keeps using it.
        HICON icon = LoadTrayImage(ICON_STOPPED);
        BOOL added = TrayIconAdd(window, TRAY_ICON_ID, TRAY_CALLBACK_MESSAGE, icon, app.caption);
        if (added)
            break;
        if (attempt == app.WaitCount - 1) {
            TrayIconDelete(window, TRAY_ICON_ID);
            app.startingUp = 0; // giving up ends start-up: this close must go through
            SendMessageA(window, WM_CLOSE, 0, 0);
        }
        Sleep(static_cast<DWORD>(app.WaitTime));
    }
}

LRESULT OnCreate(HWND window)
{
    RemoveRestoreCommands(window);
    AllowMessagesFromUnelevatedSenders(window);
    LoadTrayWaitSettings();
    RegisterTrayIcon(window);
    app.trayIconAdded = 1;
    return 0;
}

LRESULT OnDestroy(HWND window)
{
    // Closed while monitoring (Close from the system menu): end the run
    // before the teardown, as Quit does.
    if (app.monitoring)
        StopMonitoring();
    TrayIconDelete(window, TRAY_ICON_ID);
    PostQuitMessage(0);
    WSACleanup();
    return 0;
}

// Three timers: the lamp's, the rates' once a second and the look at the
// network every two seconds while monitoring.
LRESULT OnTimer(HWND window, WPARAM timerId, LPARAM lParam)
{
    if (timerId == RATE_TIMER_ID)
        return OnRateTimer(window);
    if (timerId == FOLLOW_TIMER_ID)
        return OnFollowTimer(window);
    return OnLampTimer(window, timerId, lParam);
}

LRESULT OnClose(HWND window)
{
    // Start-up carries on inside its own calls and must not lose its window.
    if (app.startingUp) {
        app.closeRequested = 1;
        return 0;
    }
    DestroyWindow(window);
    return 0;
}

// The display scaling changed: the notification area now draws small icons
// at another size.
LRESULT OnDpiChanged()
{
    if (RefreshTrayImageSize())
        TrayIconShowImageAgain();
    return 0;
}

// The taskbar's light or dark mode ("ImmersiveColorSet") or high contrast
// may have changed; the lamp follows only a real change of either.
LRESULT OnColoursChanged()
{
    TrayIconFollowLook();
    return 0;
}

// A restarted Explorer may run at another scaling than the one before.
LRESULT OnTaskbarCreated()
{
    if (RefreshTrayImageSize())
        TrayIconShowImageAgain();
    TrayIconRestore();
    return 0;
}

// Logoff or shutdown ends the program without Quit, and may do so soon
// after: the settings are saved first (a stop may wait for the capture
// thread), then the run ends. During start-up the settings may not be read
// yet, and a close then saves nothing either.
LRESULT OnEndSession(HWND window, WPARAM ending, LPARAM how)
{
    if (!ending)
        return 0;
    if (!app.startingUp)
        SaveSettings();
    if (app.monitoring)
        StopMonitoring();
    // Restart Manager (an installer, Windows Update) closes the program
    // without ending the session: end as Quit does.
    if (how & ENDSESSION_CLOSEAPP)
        QuitWhenAllowed(window);
    return 0;
}

LRESULT OnQuitMessage(HWND window)
{
    QuitWhenAllowed(window);
    return 0;
}

// A second start ended at once; the user still learns where the program is.
LRESULT OnAlreadyRunning()
{
    TrayIconShowBalloon("NetGlow is already running.");
    return 0;
}

} // namespace

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        return OnCreate(window);
    case WM_DESTROY:
        return OnDestroy(window);
    case WM_CLOSE:
        return OnClose(window);
    case WM_QUERYOPEN:
        return 0; // never restored
    case WM_ENDSESSION:
        return OnEndSession(window, wParam, lParam);
    case WM_COMMAND:
        return OnCommand(window, wParam, lParam);
    case WM_TIMER:
        return OnTimer(window, wParam, lParam);
    case WM_LAMP_ACTIVITY:
        return OnLampActivity(window, wParam, lParam);
    case TRAY_CALLBACK_MESSAGE:
        return OnTrayCallback(window, wParam, lParam);
    case WM_DPICHANGED:
        return OnDpiChanged();
    case WM_SETTINGCHANGE:
    case WM_SYSCOLORCHANGE:
        return OnColoursChanged();
    case WM_NETWORK_CHANGED:
        return OnNetworkChanged(window);
    case WM_CAPTURE_ENDED:
        return OnCaptureEnded(window, wParam, lParam);
    case WM_CAPTURE_OPENED:
        return OnCaptureOpened(window, lParam);
    case WM_LOG_FAILED:
        return OnLogFailed(window, wParam, lParam);
    case WM_POWERBROADCAST:
        return OnPowerBroadcast(window, wParam);
    default:
        if (message == taskbarCreatedMessage && message != 0)
            return OnTaskbarCreated();
        if (message == alreadyRunningMessage && message != 0)
            return OnAlreadyRunning();
        if (message == quitMessage && message != 0)
            return OnQuitMessage(window);
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

BOOL IsSupportedWindows()
{
    OSVERSIONINFOA version;
    ZeroMemory(&version, sizeof version);
    version.dwOSVersionInfoSize = sizeof version;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    GetVersionExA(&version);
#pragma GCC diagnostic pop
    return IsSupportedVersion(version.dwPlatformId, version.dwMajorVersion) ? TRUE : FALSE;
}

int InitializeApp()
{
    LoadSettings();
    // The shapes are the user's setting: the icon was added before it was
    // read, with the taskbar's look, which stays as read then.
    SetLampShapes(app.LampShapes == 1);
    app.cardMissing = 0;
    app.adapters.count = 0;
    WSAStartup(MAKEWORD(2, 2), &app.wsaData);
    // Set once, before the first-run Setup: its "start now" hands the image
    // to the lamp, which must go on showing what it believes it shows.
    TrayIconSetImage(ICON_STOPPED);
    if (BuildAdapterTable() != RESULT_OK)
        return RESULT_STEP_FAILED;
    if (app.InitOpt == -2) {
        if (ShowSetupDialog(app.mainWindow, true) != RESULT_OK)
            return RESULT_STEP_FAILED;
        app.InitOpt = -1;
    }
    if (app.StartOpt == 1) {
        FindAdapterByName();
        if (app.CardName[0] != '\0' && app.selectedIndex == -1)
            app.cardMissing = 1;
        StartMonitoring();
    }
    TrayIconSetTip(PlainTip());
    return RESULT_OK;
}

bool RegisterMainWindowClass(HINSTANCE instance)
{
    taskbarCreatedMessage = RegisterWindowMessageA("TaskbarCreated");
    alreadyRunningMessage = RegisterWindowMessageA(ALREADY_RUNNING_MESSAGE);
    quitMessage = RegisterWindowMessageA("NetGlow.Quit");
    WNDCLASSA windowClass;
    ZeroMemory(&windowClass, sizeof windowClass);
    windowClass.style = 0;
    windowClass.lpfnWndProc = MainWindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(ICON_STOPPED));
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.lpszClassName = WINDOW_CLASS;
    return RegisterClassA(&windowClass) != 0;
}

HWND CreateMainWindow(HINSTANCE instance)
{
    // y carries SW_MINIMIZE; the system ignores it when x is CW_USEDEFAULT.
    return CreateWindowExA(0, WINDOW_CLASS, "NetGlow",
                           WS_MINIMIZE | WS_CLIPSIBLINGS | WS_CAPTION | WS_SYSMENU,
                           CW_USEDEFAULT, SW_MINIMIZE, CW_USEDEFAULT, CW_USEDEFAULT,
                           nullptr, nullptr, instance, nullptr);
}

void TellRunningCopy()
{
    HWND running = FindWindowA(WINDOW_CLASS, nullptr);
    if (running != nullptr)
        PostMessageA(running, RegisterWindowMessageA(ALREADY_RUNNING_MESSAGE), 0, 0);
}
