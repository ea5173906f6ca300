// Where NetGlow.ini and NetGlow.txt are kept.
#pragma once

enum DataFolder {
    DATA_FOLDER_PROGRAM = 0,    // beside the program, as always
    DATA_FOLDER_LOCAL_APP_DATA = 1
};

// With app.moduleDir, app.settingsPath and app.logPath set beside the
// program: when the program's folder cannot be written (a small file cannot
// be created and deleted there), points the two paths into
// %LOCALAPPDATA%\NetGlow\ (created when missing), taking over a settings file
// left beside the program when that folder has none yet. An elevated run
// uses that folder too when it holds NetGlow.ini and none lies beside the
// program. The help file stays beside the program. Where no such folder can
// be had, nothing changes.
DataFolder ChooseDataFolder();
