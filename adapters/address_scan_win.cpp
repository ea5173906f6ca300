#include "adapters/adapter_build_win.h"
#include "adapters/code_pages_win.h"
#include "adapters/ipconfig_parser.h"
#include "core/app_state.h"
#include "core/message_box_win.h"
#include <cstdio>

namespace {

const size_t SCAN_PATH_SIZE = 512;

bool FormScanPaths(char* batchPath, char* reportPath)
{
    char tempDir[SCAN_PATH_SIZE];
    DWORD length = GetTempPathA(sizeof tempDir, tempDir);
    if (length == 0 || length >= sizeof tempDir)
        return false;
    int batch = std::snprintf(batchPath, SCAN_PATH_SIZE, "%sNetGlawrun.bat", tempDir);
    int report = std::snprintf(reportPath, SCAN_PATH_SIZE, "%sNetGlawtxt", tempDir);
    return batch > 0 && static_cast<size_t>(batch) < SCAN_PATH_SIZE
        && report > 0 && static_cast<size_t>(report) < SCAN_PATH_SIZE;
}

// The system's ipconfig by its full path, and the system folder as the
// command's working folder: the command interpreter looks in the current
// folder before the PATH, so a bare name would run any ipconfig.exe, .com or
// .bat lying there. Both paths are quoted (a folder may contain spaces).
bool WriteBatchFile(const char* batchPath, const char* systemDir, const char* reportPath)
{
    char line[3 * SCAN_PATH_SIZE];
    int length = std::snprintf(line, sizeof line, "\"%s\\ipconfig.exe\" /all > \"%s\"", systemDir, reportPath);
    if (length <= 0 || static_cast<size_t>(length) >= sizeof line)
        return false;
    // The command interpreter reads a batch file in the console (OEM) code
    // page; our paths are in the ANSI one.
    char oemLine[sizeof line];
    if (!AnsiTextToOemCodePage(line, oemLine, sizeof oemLine))
        return false;
    std::FILE* batch = std::fopen(batchPath, "wt");
    if (batch == nullptr)
        return false;
    bool written = std::fputs(oemLine, batch) >= 0;
    return std::fclose(batch) == 0 && written;
}

void RunHidden(const char* batchPath, const char* systemDir)
{
    char commandLine[SCAN_PATH_SIZE + 3];
    int length = std::snprintf(commandLine, sizeof commandLine, "\"%s\"", batchPath);
    if (length <= 0 || static_cast<size_t>(length) >= sizeof commandLine)
        return;
    STARTUPINFOA startup;
    GetStartupInfoA(&startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION process;
    if (!CreateProcessA(nullptr, commandLine, nullptr, nullptr, FALSE, CREATE_DEFAULT_ERROR_MODE,
                        nullptr, systemDir, &startup, &process))
        return;
    while (WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT)
        Sleep(300);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
}

int ParseReportFile(const char* reportPath)
{
    std::FILE* report = std::fopen(reportPath, "rt");
    if (report == nullptr)
        return IPCONFIG_OK;
    int failure = ParseIpconfigReport(&app.ipconfig, report);
    std::fclose(report);
    // Registry names are in the ANSI code page, the report's in the OEM one.
    if (GetOEMCP() != GetACP())
        ReportNamesToAnsi(&app.ipconfig, SystemCodePages());
    return failure;
}

} // namespace

int RunAddressScan()
{
    app.ipconfig.count = 0;
    char batchPath[SCAN_PATH_SIZE];
    char reportPath[SCAN_PATH_SIZE];
    if (!FormScanPaths(batchPath, reportPath))
        return RESULT_OK;

    char systemDir[SCAN_PATH_SIZE];
    UINT systemLength = GetSystemDirectoryA(systemDir, sizeof systemDir);
    bool haveSystemDir = systemLength > 0 && systemLength < sizeof systemDir;

    // A report left by an interrupted scan must not pass for this one.
    DeleteFileA(reportPath);
    if (haveSystemDir && WriteBatchFile(batchPath, systemDir, reportPath))
        RunHidden(batchPath, systemDir);
    int failure = ParseReportFile(reportPath);
    DeleteFileA(batchPath);
    DeleteFileA(reportPath);

    if (failure != IPCONFIG_OK) {
        ShowAppMessage(app.mainWindow, IpconfigFailureText(failure), MB_ICONQUESTION);
        return RESULT_LIMIT;
    }
    return RESULT_OK;
}
