// The twelve commands of the tray menu.
#include "app/tray_commands_win.h"
#include <shellapi.h>
#include "adapters/adapter_build_win.h"
#include "core/app_state.h"
#include "dialogs/dialogs_win.h"
#include "dialogs/graph_window_win.h"
#include "monitor/capture_win.h"
#include "monitor/log_file_win.h"
#include "monitor/monitoring_win.h"
#include "core/settings_win.h"
#include "res/resource.h"
#include "tray/start_with_windows_win.h"
#include "tray/tray_icon_win.h"

namespace {

void OnMonitorStart()
{
    // The running capture reads the adapter table: never rebuild it under it.
    if (app.monitoring == 1)
        return;
    if (BuildAdapterTable() != 0)
        return;
    FindAdapterByName();
    StartMonitoring();
}

// GUI thread only: a Quit came while Setup or About was open; it goes on
// once the dialog has returned.
bool quitAfterDialog = false;

void OnSetup(HWND window)
{
    bool wasMonitoring = app.monitoring == 1;
    // Setup's own stop and start keep the graph's history and totals.
    if (wasMonitoring)
        StopMonitoringForSetup();
    // OK may have started monitoring itself; never start it twice, nor
    // during a Quit.
    if (ShowSetupDialog(window) == 0 && app.monitoring == 0 && wasMonitoring && !quitAfterDialog)
        StartMonitoring();
    SetupEnded();
}

// Checked: remove the value. Unchecked, also when it names another copy:
// point it at this one.
void OnStartWithWindows()
{
    SetStartWithWindows(!StartsWithWindows());
}

// Shapes for users who cannot tell the colours apart; kept at once and shown
// at once, in whatever state the lamp is.
void OnLampShapes()
{
    app.LampShapes = app.LampShapes == 1 ? 0 : 1;
    SaveLampShapes();
    TrayIconFollowLook();
}

void OnQuit()
{
    // The dialog's own loop brought this Quit: the main window must outlive
    // the dialog, so the dialog closes first and the Quit follows.
    if (app.dialogOpen) {
        quitAfterDialog = true;
        CloseDialogsForQuit();
        return;
    }
    if (app.monitoring == 1)
        StopMonitoring();
    RequestQuit();
}

void AfterDialog()
{
    if (!quitAfterDialog)
        return;
    quitAfterDialog = false;
    QuitAfterDialogs();
    OnQuit();
}

} // namespace

void RequestQuit()
{
    if (!app.trayIconAdded)
        return;
    app.startingUp = 0; // the program's own close ends start-up
    TrayIconDelete(app.mainWindow, TRAY_ICON_ID);
    SendMessageA(app.mainWindow, WM_CLOSE, 0, 0);
}

void QuitWhenAllowed(HWND window)
{
    // Start-up may be showing the first-run Setup; the Quit waits for its end.
    if (app.startingUp) {
        app.quitRequested = 1;
        return;
    }
    OnCommand(window, CMD_QUIT);
}

LRESULT OnCommand(HWND window, WPARAM wParam, LPARAM lParam)
{
    // A command sent while monitoring is changing (it waits for a run to
    // end and answers sent messages meanwhile) comes again once it is over:
    // posted messages wait for the message loop.
    if (MonitoringChanging()) {
        PostMessageA(window, WM_COMMAND, wParam, lParam);
        return 0;
    }
    // Start-up is still building the adapter table and may yet show Setup.
    // A failed run's own stop request (it names its run) still goes through:
    // its thread has ended, and monitoring must not stay on without it.
    if (app.startingUp && !(wParam == CMD_MONITOR_STOP && lParam != 0))
        return 0;
    switch (wParam) {
    case CMD_MONITOR_START:
        OnMonitorStart();
        break;
    case CMD_MONITOR_STOP:
        if (IsStopRequestCurrent(lParam))
            StopMonitoring();
        break;
    case CMD_LOG_START:
        app.logging = 1;
        break;
    case CMD_LOG_STOP:
        app.logging = 0;
        break;
    case CMD_LOG_VIEW:
        ShellExecuteA(window, "open", app.logPath, nullptr, nullptr, SW_SHOW);
        break;
    case CMD_LOG_DELETE:
        DeleteLogFiles(app.logPath);
        break;
    case CMD_SETUP:
        OnSetup(window);
        AfterDialog();
        break;
    case CMD_START_WITH_WINDOWS:
        OnStartWithWindows();
        break;
    case CMD_LAMP_SHAPES:
        OnLampShapes();
        break;
    case CMD_TRAFFIC_GRAPH:
        ShowTrafficGraph();
        break;
    case CMD_HELP:
        OpenHelp();
        break;
    case CMD_ABOUT:
        ShowAboutDialog(window);
        AfterDialog();
        break;
    case CMD_QUIT:
        OnQuit();
        break;
    }
    return 0;
}
