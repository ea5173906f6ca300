#include "adapters/adapter_build_win.h"
#include "adapters/code_pages_win.h"
#include "adapters/ipconfig_parser.h"
#include "core/app_state.h"
#include "core/message_box_win.h"
#include <cstdio>

namespace {

const size_t SCAN_PATH_SIZE = 512;
// An ipconfig that never returns must not hold the GUI thread for longer.
const DWORD COMMAND_WAIT_MS = 10000;
// After the command was ended: until its files are closed.
const DWORD END_WAIT_MS = 5000;

// Named with the process id: two processes scanning at the same time never
// write, read or delete each other's files.
bool FormScanPaths(char* batchPath, char* reportPath)
{
    char tempDir[SCAN_PATH_SIZE];
    DWORD length = GetTempPathA(sizeof tempDir, tempDir);
    if (length == 0 || length >= sizeof tempDir)
        return false;
    unsigned long id = GetCurrentProcessId();
    int batch = std::snprintf(batchPath, SCAN_PATH_SIZE, "%sNetGlaw%lurun.bat", tempDir, id);
    int report = std::snprintf(reportPath, SCAN_PATH_SIZE, "%sNetGlaw%lutxt", tempDir, id);
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

// A job that ends every process in it when its last handle closes: the
// command interpreter and the ipconfig it starts.
HANDLE CreateKillOnCloseJob()
{
    HANDLE job = CreateJobObjectA(nullptr, nullptr);
    if (job == nullptr)
        return nullptr;
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits;
    ZeroMemory(&limits, sizeof limits);
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (!SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits)) {
        CloseHandle(job);
        return nullptr;
    }
    return job;
}

// False when the command did not end within COMMAND_WAIT_MS: it has then been
// ended, and its report is not to be read.
bool RunHidden(const char* batchPath, const char* systemDir)
{
    char commandLine[SCAN_PATH_SIZE + 3];
    int length = std::snprintf(commandLine, sizeof commandLine, "\"%s\"", batchPath);
    if (length <= 0 || static_cast<size_t>(length) >= sizeof commandLine)
        return true;
    STARTUPINFOA startup;
    GetStartupInfoA(&startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION process;
    // Suspended until it is in the job, so that ipconfig is started inside it.
    if (!CreateProcessA(nullptr, commandLine, nullptr, nullptr, FALSE, CREATE_DEFAULT_ERROR_MODE | CREATE_SUSPENDED,
                        nullptr, systemDir, &startup, &process))
        return true;
    HANDLE job = CreateKillOnCloseJob();
    // Where the job cannot be had (a system without nested jobs running us
    // in one), ending the interpreter is the most that can be done.
    bool inJob = job != nullptr && AssignProcessToJobObject(job, process.hProcess);
    ResumeThread(process.hThread);
    bool ended = WaitForSingleObject(process.hProcess, COMMAND_WAIT_MS) != WAIT_TIMEOUT;
    if (!ended) {
        if (inJob)
            TerminateJobObject(job, 1);
        else
            TerminateProcess(process.hProcess, 1);
        WaitForSingleObject(process.hProcess, END_WAIT_MS);
    }
    if (job != nullptr)
        CloseHandle(job);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return ended;
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
    // A command that had to be ended leaves at most a part of a report: the
    // IP Helper fills in the adapters instead.
    bool reported = true;
    if (haveSystemDir && WriteBatchFile(batchPath, systemDir, reportPath))
        reported = RunHidden(batchPath, systemDir);
    int failure = reported ? ParseReportFile(reportPath) : IPCONFIG_OK;
    DeleteFileA(batchPath);
    DeleteFileA(reportPath);

    if (failure != IPCONFIG_OK) {
        ShowAppMessage(app.mainWindow, IpconfigFailureText(failure), MB_ICONQUESTION);
        return RESULT_LIMIT;
    }
    return RESULT_OK;
}
