#include "adapters/adapter_build_win.h"
#include "adapters/ipconfig_parser.h"
#include "app/app_state.h"
#include "app/message_box_win.h"
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

// The report path is quoted: a temporary directory may contain spaces.
bool WriteBatchFile(const char* batchPath, const char* reportPath)
{
    std::FILE* batch = std::fopen(batchPath, "wt");
    if (batch == nullptr)
        return false;
    bool written = std::fprintf(batch, "ipconfig /all > \"%s\"", reportPath) > 0;
    return std::fclose(batch) == 0 && written;
}

void RunHidden(const char* batchPath)
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
                        nullptr, nullptr, &startup, &process))
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

    // A report left by an interrupted scan must not pass for this one.
    DeleteFileA(reportPath);
    if (WriteBatchFile(batchPath, reportPath))
        RunHidden(batchPath);
    int failure = ParseReportFile(reportPath);
    DeleteFileA(batchPath);
    DeleteFileA(reportPath);

    if (failure != IPCONFIG_OK) {
        ShowAppMessage(app.mainWindow, IpconfigFailureText(failure), MB_ICONQUESTION);
        return RESULT_LIMIT;
    }
    return RESULT_OK;
}
