#include "support/host_shell.h"
#include <cstdlib>
#include "support/netglow_process.h"

std::string UnixPathOf(const std::string& windowsPath)
{
    using ToUnix = char* (CDECL*)(const wchar_t*);
    auto* toUnix = reinterpret_cast<ToUnix>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    wchar_t wide[MAX_PATH];
    if (toUnix == nullptr || MultiByteToWideChar(CP_ACP, 0, windowsPath.c_str(), -1, wide, MAX_PATH) == 0)
        return "";
    char* unixPath = toUnix(wide);
    if (unixPath == nullptr)
        return "";
    std::string path = unixPath;
    HeapFree(GetProcessHeap(), 0, unixPath);
    return path;
}

int RunHostScript(const std::string& script, DWORD timeoutMs)
{
    std::string folder = MakeTempFolder("host");
    std::string unixFolder = UnixPathOf(folder);
    if (unixFolder.empty())
        return -1;
    if (unixFolder.back() != '/')
        unixFolder += '/';
    // The status appears whole: written aside, then renamed.
    WriteWholeFile(folder + "script.sh", script + "\n");
    WriteWholeFile(folder + "run.sh", "sh '" + unixFolder + "script.sh' </dev/null\n"
                                      "echo $? >'" + unixFolder + "status.new'\n"
                                      "mv '" + unixFolder + "status.new' '" + unixFolder + "status'\n");
    std::string commandLine = "/bin/sh " + unixFolder + "run.sh";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    if (!CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &info))
        return -1;
    if (info.hProcess != nullptr)
        CloseHandle(info.hProcess);
    if (info.hThread != nullptr)
        CloseHandle(info.hThread);
    std::string status = folder + "status";
    DWORD start = GetTickCount();
    while (!FileExists(status)) {
        if (GetTickCount() - start > timeoutMs)
            return -1;
        Sleep(10);
    }
    return std::atoi(ReadWholeFile(status).c_str());
}
