#include "core/app_state.h"
#include <commctrl.h>
#include "app/data_folder_win.h"
#include "app/main_window_win.h"
#include "core/message_box_win.h"
#include "app/program_paths.h"
#include "core/settings_win.h"

namespace {

// Large enough for any path Windows hands out, so a long path is judged by its
// real directory and never by a truncated one.
char modulePath[32768];

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
