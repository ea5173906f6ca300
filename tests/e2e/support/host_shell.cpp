#include "support/host_shell.h"
#include <cstdlib>
#include <type_traits>
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
    if (!WaitFor([&] { return PathExists(status); }, timeoutMs))
        return -1;
    return std::atoi(ReadFileBytes(status).c_str());
}

std::string WhyNoCaptureOn(const std::string& linkName)
{
    if (RunHostScript("[ \"$(id -u)\" = 0 ]") != 0)
        return "capture needs root";
    if (RunHostScript("command -v tcpdump >/dev/null") != 0)
        return "tcpdump is not installed";
    SystemCaptureLibrary library;
    pcap_if_t* devices = nullptr;
    char error[PCAP_ERRBUF_SIZE] = "";
    if (!library.Load() || library.findAll(&devices, error) != 0)
        return "the demo forwarder is not installed as the capture library";
    std::string device;
    for (pcap_if_t* listed = devices; listed != nullptr; listed = listed->next)
        if (listed->description != nullptr && linkName == listed->description)
            device = listed->name;
    library.freeAll(devices);
    if (device.empty())
        return "Wine's capture library does not list " + linkName;
    pcap_t* handle = library.open(device.c_str(), 64, 1, 1000, error);
    if (handle == nullptr)
        return "Wine's capture library cannot open " + linkName + ": " + error;
    library.close(handle);
    return "";
}

bool SystemCaptureLibrary::Load()
{
    char system[MAX_PATH];
    GetSystemDirectoryA(system, MAX_PATH);
    HMODULE library = LoadLibraryA((std::string(system) + "\\Npcap\\wpcap.dll").c_str());
    auto bind = [library](auto** function, const char* name) {
        *function = reinterpret_cast<std::remove_pointer_t<decltype(function)>>(
            reinterpret_cast<void*>(GetProcAddress(library, name)));
        return *function != nullptr;
    };
    return library != nullptr && bind(&findAll, "pcap_findalldevs") && bind(&freeAll, "pcap_freealldevs")
        && bind(&open, "pcap_open_live") && bind(&close, "pcap_close");
}

HostTcpdump::~HostTcpdump()
{
    if (running_)
        Stop();
}

bool HostTcpdump::Start(const std::string& linkName, const std::string& filter)
{
    std::string windowsFolder = MakeTempFolder("tcpdump");
    folder_ = UnixPathOf(windowsFolder);
    if (folder_.empty())
        return false;
    if (folder_.back() != '/')
        folder_ += '/';
    capturePath = windowsFolder + "frames.pcap";
    // It says "listening on" once its capture is open.
    running_ = true;
    return RunHostScript("tcpdump -i '" + linkName + "' -n --immediate-mode -U -w '" + folder_ + "frames.pcap' "
                         + (filter.empty() ? "" : "'" + filter + "' ") + ">/dev/null 2>'" + folder_
                         + "tcpdump.txt' & echo $! >'" + folder_ + "pid'\n"
                         "end=$(($(date +%s) + 10))\n"
                         "until grep -q 'listening on' '" + folder_ + "tcpdump.txt'; do\n"
                         "  [ $(date +%s) -lt $end ] || exit 1; sleep 0.02\n"
                         "done") == 0;
}

bool HostTcpdump::Stop()
{
    running_ = false;
    // It reports its counts when it has closed its file.
    return RunHostScript("kill -INT $(cat '" + folder_ + "pid') || exit 1\n"
                         "end=$(($(date +%s) + 10))\n"
                         "until grep -q 'packets captured' '" + folder_ + "tcpdump.txt'; do\n"
                         "  [ $(date +%s) -lt $end ] || exit 1; sleep 0.02\n"
                         "done") == 0;
}
