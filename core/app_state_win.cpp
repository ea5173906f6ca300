#include "core/app_state.h"
#include <cstring>

AppState app;

void ResetAppState()
{
    app.monitoring = 0;
    app.logging = 0;
    app.dialogOpen = 0;
    app.messageBoxOpen = 0;
    app.registryWarned = 0;
    app.trayIconAdded = 0;
    app.cardMissing = 0;
    app.noConnection = 0;
    app.startingUp = 0;
    app.closeRequested = 0;
    app.quitRequested = 0;

    app.selectedIndex = -1;
    app.WaitTime = 100;
    app.WaitCount = 50;
    app.CardName[0] = '\0';
    app.InitOpt = -2;
    app.StartOpt = 0;
    app.NowOpt = 0;
    app.ColorSend = 1;
    app.ColorRecv = 2;
    app.TimeoutP = 20;
    app.CardAuto = 0;
    app.cardAutoStored = 0;
    app.GraphX = app.GraphY = app.GraphW = app.GraphH = 0;
    app.graphPlaceStored = 0;
    app.LogLimitMB = 0;
    app.LogFiles = LOG_FILES_DEFAULT;
    app.logLimitStored = app.logFilesStored = 0;
    app.LampShapes = app.lampShapesStored = 0;

    app.instance = GetModuleHandleA(nullptr);
    app.mainWindow = nullptr;
    app.graphWindow = nullptr;
    lstrcpynA(app.caption, "NetGlow", sizeof app.caption);
    app.moduleDir[0] = app.helpPath[0] = app.logPath[0] = app.settingsPath[0] = '\0';
    std::memset(&app.trayData, 0, sizeof app.trayData);
    app.adapters.count = 0;
    app.ipconfig.count = 0;
}
