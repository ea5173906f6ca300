// The settings file, section "Option", read and written only through
// the profile functions with the full settingsPath.
#include "core/settings_win.h"
#include <cstring>
#include "core/app_state.h"
#include "core/profile_number.h"

namespace {

const char SECTION[] = "Option";
// Numeric values are read into 100 bytes: at most 99 characters are seen.
const DWORD NUMBER_TEXT_SIZE = 100;

int32_t ReadNumber(const char* key, const char* fallback)
{
    char text[NUMBER_TEXT_SIZE];
    GetPrivateProfileStringA(SECTION, key, fallback, text, sizeof text, app.settingsPath);
    return ParseProfileNumber(text);
}

void WriteNumber(const char* key, int32_t value)
{
    char text[16];
    FormatProfileNumber(value, text, sizeof text);
    WritePrivateProfileStringA(SECTION, key, text, app.settingsPath);
}

} // namespace

int LoadTrayWaitSettings()
{
    int32_t waitTime = ReadNumber("WaitTime", "100");
    app.WaitTime = waitTime < 100 ? 100 : waitTime;
    int32_t waitCount = ReadNumber("WaitCount", "50");
    app.WaitCount = waitCount < 0 ? 50 : waitCount;

    char flag[NUMBER_TEXT_SIZE];
    GetPrivateProfileStringA(SECTION, "WaitFlag", "0", flag, sizeof flag, app.settingsPath);
    if (std::strcmp(flag, "0") == 0) {
        // First use: always these literals, not the values read above.
        WritePrivateProfileStringA(SECTION, "WaitTime", "100", app.settingsPath);
        WritePrivateProfileStringA(SECTION, "WaitCount", "50", app.settingsPath);
        WritePrivateProfileStringA(SECTION, "WaitFlag", "1", app.settingsPath);
    }
    return 0;
}

int LoadSettings()
{
    GetPrivateProfileStringA(SECTION, "CardName", "", app.CardName, sizeof app.CardName,
                             app.settingsPath);
    app.selectedIndex = ReadNumber("CardIndex", "-1");
    app.InitOpt = ReadNumber("InitOpt", "-2");
    app.StartOpt = ReadNumber("StartOpt", "0");
    app.NowOpt = ReadNumber("NowOpt", "0");
    app.ColorSend = ReadNumber("ColorSend", "1");
    app.ColorRecv = ReadNumber("ColorRecv", "2");
    app.TimeoutP = ReadNumber("TimeoutP", "20");
    char automatic[NUMBER_TEXT_SIZE];
    GetPrivateProfileStringA(SECTION, "CardAuto", "", automatic, sizeof automatic, app.settingsPath);
    app.cardAutoStored = automatic[0] != '\0' ? 1 : 0;
    app.CardAuto = ParseProfileNumber(automatic) == 1 ? 1 : 0;
    // The graph's place counts only when all four keys are there.
    const char* const graphKeys[] = { "GraphX", "GraphY", "GraphW", "GraphH" };
    int32_t* const graphValues[] = { &app.GraphX, &app.GraphY, &app.GraphW, &app.GraphH };
    app.graphPlaceStored = 1;
    for (int i = 0; i < 4; ++i) {
        char text[NUMBER_TEXT_SIZE];
        GetPrivateProfileStringA(SECTION, graphKeys[i], "", text, sizeof text, app.settingsPath);
        if (text[0] == '\0')
            app.graphPlaceStored = 0;
        *graphValues[i] = ParseProfileNumber(text);
    }
    // A limit that is not a positive number means none, as before it existed.
    char text[NUMBER_TEXT_SIZE];
    GetPrivateProfileStringA(SECTION, "LogLimitMB", "", text, sizeof text, app.settingsPath);
    app.logLimitStored = text[0] != '\0' ? 1 : 0;
    app.LogLimitMB = ParseProfileNumber(text) > 0 ? ParseProfileNumber(text) : 0;
    GetPrivateProfileStringA(SECTION, "LogFiles", "", text, sizeof text, app.settingsPath);
    app.logFilesStored = text[0] != '\0' ? 1 : 0;
    int32_t files = ParseProfileNumber(text);
    app.LogFiles = files >= 1 && files <= LOG_FILES_MAX ? files : LOG_FILES_DEFAULT;
    GetPrivateProfileStringA(SECTION, "LampShapes", "", text, sizeof text, app.settingsPath);
    app.lampShapesStored = text[0] != '\0' ? 1 : 0;
    app.LampShapes = ParseProfileNumber(text) == 1 ? 1 : 0;
    return 0;
}

int SaveSettings()
{
    if (app.cardMissing.load() != 1) {
        WritePrivateProfileStringA(SECTION, "CardName", app.CardName, app.settingsPath);
        WriteNumber("CardIndex", app.selectedIndex.load());
    }
    WriteNumber("InitOpt", app.InitOpt);
    WriteNumber("StartOpt", app.StartOpt);
    WriteNumber("NowOpt", app.NowOpt);
    WriteNumber("ColorSend", app.ColorSend.load());
    WriteNumber("ColorRecv", app.ColorRecv.load());
    WriteNumber("TimeoutP", app.TimeoutP.load());
    if (app.cardAutoStored == 1)
        WriteNumber("CardAuto", app.CardAuto);
    if (app.graphPlaceStored == 1) {
        WriteNumber("GraphX", app.GraphX);
        WriteNumber("GraphY", app.GraphY);
        WriteNumber("GraphW", app.GraphW);
        WriteNumber("GraphH", app.GraphH);
    }
    if (app.logLimitStored == 1)
        WriteNumber("LogLimitMB", app.LogLimitMB);
    if (app.logFilesStored == 1)
        WriteNumber("LogFiles", app.LogFiles);
    if (app.lampShapesStored == 1)
        WriteNumber("LampShapes", app.LampShapes);
    return 0;
}

int SaveLampShapes()
{
    app.lampShapesStored = 1;
    WriteNumber("LampShapes", app.LampShapes);
    return 0;
}
