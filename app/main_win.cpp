#include "core/app_state.h"
#include <commctrl.h>
#include "app/data_folder_win.h"
#include "app/main_window_win.h"
#include "app/tray_commands_win.h"
#include "core/message_box_win.h"
#include "app/program_paths.h"
#include "core/settings_win.h"
#include "res/resource.h"

namespace {

// Large enough for any path Windows hands out, so a long path is judged by its
// real directory and never by a truncated one.
char modulePath[32768];

// One copy per user session: a second one (Start with Windows, then a
// shortcut) would add a second icon and a second capture writing the same
// log. The mutex lives in the session's own namespace; one that an elevated
// copy created cannot even be opened by an unelevated one.
bool AnotherCopyRuns()
{
    HANDLE mutex = CreateMutexA(nullptr, FALSE, "Local\\NetGlow-{2F6C1E8B-94D3-4A7B-B05E-7C1D3E9A6F42}");
    DWORD error = GetLastError();
    if (mutex == nullptr)
        return error == ERROR_ACCESS_DENIED;
    if (error == ERROR_ALREADY_EXISTS) {
        CloseHandle(mutex);
        return true;
    }
    return false; // held for the whole run; the system closes it at the end
}

bool SetUpPaths()
{
    DWORD length = GetModuleFileNameA(nullptr, modulePath, sizeof modulePath);
    if (length >= sizeof modulePath)
        length = 0;
    modulePath[length] = '\0';

    ProgramPaths paths;
    switch (BuildProgramPaths(modulePath, &paths)) {
    case PROGRAM_PATHS_UNACQUIRABLE:
        ShowAppMessage(nullptr, "The path of a program was unacquirable.", MB_OK | MB_ICONQUESTION);
        return false;
    case PROGRAM_PATHS_TOO_LONG:
        ShowAppMessage(nullptr, "The path of a program is too long.", MB_OK | MB_ICONQUESTION);
        return false;
    case PROGRAM_PATHS_OK:
        break;
    }
    lstrcpynA(app.moduleDir, paths.moduleDir, sizeof app.moduleDir);
    lstrcpynA(app.helpPath, paths.helpPath, sizeof app.helpPath);
    lstrcpynA(app.logPath, paths.logPath, sizeof app.logPath);
    lstrcpynA(app.settingsPath, paths.settingsPath, sizeof app.settingsPath);
    ChooseDataFolder();
    return true;
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand)
{
    if (AnotherCopyRuns()) {
        TellRunningCopy();
        return 0;
    }
    ResetAppState();
    app.startingUp = 1;
    app.instance = instance;
    // The manifest asks for Common Controls 6; this registers its classes so
    // that the dialogs are drawn with the system's visual styles.
    INITCOMMONCONTROLSEX controls = { sizeof controls, ICC_STANDARD_CLASSES };
    InitCommonControlsEx(&controls);

    if (!SetUpPaths()) {
        RequestQuit();
        return 0;
    }
    if (!RegisterMainWindowClass(instance)) {
        RequestQuit();
        return 0;
    }
    app.mainWindow = CreateMainWindow(instance);
    if (app.mainWindow == nullptr) {
        RequestQuit();
        return 0;
    }
    if (!IsSupportedWindows()) {
        ShowAppMessage(app.mainWindow, "This software cannot be used by Windows of this version.",
                       MB_OK | MB_ICONINFORMATION);
        RequestQuit();
        return 0;
    }
    if (InitializeApp() != 0) {
        RequestQuit();
        return 0;
    }
    app.startingUp = 0;
    // Closed during start-up: end now, the first run not marked as done.
    if (app.closeRequested) {
        RequestQuit();
        return 0;
    }
    // Asked to quit during start-up: Quit now that it can run (the settings
    // are saved as after any Quit).
    if (app.quitRequested)
        PostMessageA(app.mainWindow, WM_COMMAND, CMD_QUIT, 0);
    ShowWindow(app.mainWindow, showCommand);
    UpdateWindow(app.mainWindow);

    MSG message;
    message.wParam = 0;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    SaveSettings();
    return static_cast<int>(message.wParam);
}
