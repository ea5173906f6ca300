#include "support/netglow_process.h"
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <vector>
#include "res/resource.h"

bool WaitForLogLines(const std::string& path, size_t lines, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    while (CountLines(ReadFileBytes(path)) < lines) {
        if (GetTickCount() - start > timeoutMs)
            return false;
        Sleep(10);
    }
    return true;
}

static const char NETWORK_KEY[] = "SYSTEM\\ControlSet001\\Control\\Network";
static const char ADAPTER_CLASS[] = "{4D36E972-E325-11CE-BFC1-08002BE10318}";

void SeedRegistry(const std::vector<SeededAdapter>& adapters)
{
    HKEY key;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM\\Select", 0, nullptr, 0, KEY_ALL_ACCESS,
                        nullptr, &key, nullptr) == ERROR_SUCCESS) {
        DWORD current = 1;
        RegSetValueExA(key, "Current", 0, REG_DWORD, reinterpret_cast<BYTE*>(&current), sizeof current);
        RegCloseKey(key);
    }
    std::string classPath = std::string(NETWORK_KEY) + "\\" + ADAPTER_CLASS;
    // The wide form also removes keys whose names the ANSI calls cannot
    // express, which other tests leave to make a class key unreadable.
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"SYSTEM\\ControlSet001\\Control\\Network");
    for (const SeededAdapter& adapter : adapters) {
        std::string path = classPath + "\\" + adapter.guid + "\\Connection";
        if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &key, nullptr) == ERROR_SUCCESS) {
            RegSetValueExA(key, "Name", 0, REG_SZ,
                           reinterpret_cast<const BYTE*>(adapter.connectionName.c_str()),
                           static_cast<DWORD>(adapter.connectionName.size() + 1));
            RegCloseKey(key);
        }
    }
    // Make sure a network key exists even for an empty list.
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, classPath.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                        nullptr, &key, nullptr) == ERROR_SUCCESS)
        RegCloseKey(key);
}

NetGlowProcess::NetGlowProcess()
{
    folder = MakeTempFolder("e2e");
    settingsPath = folder + "NetGlow.ini";
    logPath = folder + "NetGlow.txt";
    // Apart from the program's folder, which a test may take away: the
    // record of the program's calls goes on meanwhile.
    std::string doubles = MakeTempFolder("doubles");
    wpcapControl = doubles + "wpcap-control.txt";
    wpcapCalls = doubles + "wpcap-calls.txt";
    ipconfigReport = SourcePath("tests\\fixtures\\ipconfig\\win10_english.txt");
}

NetGlowProcess::~NetGlowProcess()
{
    if (process != nullptr) {
        if (WaitForSingleObject(process, 0) == WAIT_TIMEOUT) {
            TerminateProcess(process, 99);
            WaitForSingleObject(process, 10000);
        }
        CloseHandle(process);
    }
}

namespace {
// Every copy started so far that may still run.
std::vector<HANDLE> startedCopies;

bool EarlierCopiesEnded(DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    while (!startedCopies.empty()) {
        DWORD spent = GetTickCount() - start;
        if (WaitForSingleObject(startedCopies.back(), spent < timeoutMs ? timeoutMs - spent : 0) != WAIT_OBJECT_0)
            return false;
        CloseHandle(startedCopies.back());
        startedCopies.pop_back();
    }
    return true;
}
} // namespace

bool NetGlowProcess::Start(bool alone)
{
    if (alone && !EarlierCopiesEnded(30000))
        return false;
    std::string exe = folder + "NetGlow.exe";
    if (!CopyFileA(BuildPath("NetGlow.exe").c_str(), exe.c_str(), FALSE))
        return false;
    CopyFileA(BuildPath("NetGlow.chm").c_str(), (folder + "NetGlow.chm").c_str(), FALSE);
    if (!PathExists(wpcapControl))
        WriteWholeFile(wpcapControl, "");
    SetEnvironmentVariableA("NETGLOW_FAKE_WPCAP", wpcapControl.c_str());
    SetEnvironmentVariableA("NETGLOW_FAKE_IPCONFIG", ipconfigReport.c_str());

    std::string control = ReadFileBytes(wpcapControl);
    if (control.find("calls=") == std::string::npos)
        control += "calls=" + wpcapCalls + "\r\n";
    if (control.find("log_lamps=") == std::string::npos)
        control += "log_lamps=1\r\n";
    WriteWholeFile(wpcapControl, control);

    STARTUPINFOA startup;
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    std::string desktopName = desktop;
    if (!desktopName.empty())
        startup.lpDesktop = &desktopName[0];
    PROCESS_INFORMATION info;
    std::string commandLine = "\"" + exe + "\"";
    // Started from elsewhere, as from a shortcut: the program must find its
    // files by its own location, not by the current directory.
    if (!CreateProcessA(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &info))
        return false;
    CloseHandle(info.hThread);
    process = info.hProcess;
    processId = info.dwProcessId;
    HANDLE kept = nullptr;
    if (DuplicateHandle(GetCurrentProcess(), process, GetCurrentProcess(), &kept, SYNCHRONIZE, FALSE, 0))
        startedCopies.push_back(kept);
    return true;
}

namespace {
struct WindowSearch {
    DWORD processId;
    const char* className; // null: any
    const char* caption;   // null: any; otherwise a part of the caption
    bool visibleOnly;
    HWND found;
};

BOOL CALLBACK FindWindowOf(HWND window, LPARAM param)
{
    WindowSearch* search = reinterpret_cast<WindowSearch*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid != search->processId || (search->visibleOnly && !IsWindowVisible(window)))
        return TRUE;
    char className[64];
    char caption[256];
    GetClassNameA(window, className, sizeof className);
    GetWindowTextA(window, caption, sizeof caption);
    bool captionFits = search->caption == nullptr || strstr(caption, search->caption) != nullptr;
    if ((search->className == nullptr || lstrcmpA(className, search->className) == 0) && captionFits) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}
} // namespace

HWND FindProcessWindow(DWORD processId, const char* className, const char* caption, bool visibleOnly)
{
    WindowSearch search = { processId, className, caption, visibleOnly, nullptr };
    EnumWindows(FindWindowOf, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND NetGlowProcess::WaitForMainWindow(DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    while (GetTickCount() - start < timeoutMs) {
        // The window is shown only after start-up; a command sent earlier
        // would be handled inside start-up's own calls to the shell (Wine's
        // WaitForInputIdle already returns then).
        HWND found = FindProcessWindow(processId, "NetGlow", nullptr, true);
        if (found != nullptr) {
            window = found;
            WaitForInputIdle(process, timeoutMs);
            return window;
        }
        if (WaitForSingleObject(process, 20) != WAIT_TIMEOUT)
            return nullptr;
    }
    return nullptr;
}

bool NetGlowProcess::Command(int id, DWORD timeoutMs)
{
    DWORD_PTR result = 0;
    return SendMessageTimeoutA(window, WM_COMMAND, static_cast<WPARAM>(id), 0, SMTO_NORMAL,
                               timeoutMs, &result) != 0;
}

bool NetGlowProcess::Answers(DWORD timeoutMs)
{
    DWORD_PTR result = 0;
    return SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, timeoutMs, &result) != 0;
}

int NetGlowProcess::WaitForExit(DWORD timeoutMs)
{
    if (WaitForSingleObject(process, timeoutMs) != WAIT_OBJECT_0)
        return -1;
    DWORD code = 0;
    GetExitCodeProcess(process, &code);
    return static_cast<int>(code);
}

// Wine answers GetProcessHandleCount for other processes with 0; the
// system's handle table, which it does fill, gives the true count.
DWORD ProcessHandleCount(HANDLE process)
{
    DWORD count = 0;
    GetProcessHandleCount(process, &count);
    if (count != 0)
        return count;
    typedef LONG(WINAPI * Query)(ULONG, void*, ULONG, ULONG*);
    Query query = reinterpret_cast<Query>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
    if (query == nullptr)
        return 0;
    struct Entry {
        ULONG ownerPid;
        BYTE type;
        BYTE flags;
        USHORT value;
        void* object;
        ULONG access;
    };
    std::vector<unsigned char> buffer(1 << 20);
    ULONG needed = 0;
    LONG status;
    while ((status = query(16 /* SystemHandleInformation */, buffer.data(), static_cast<ULONG>(buffer.size()),
                           &needed)) == static_cast<LONG>(0xC0000004) && buffer.size() < (64u << 20))
        buffer.resize(buffer.size() * 2);
    if (status != 0)
        return 0;
    ULONG entries = *reinterpret_cast<ULONG*>(buffer.data());
    const Entry* entry = reinterpret_cast<const Entry*>(buffer.data() + sizeof(void*));
    DWORD pid = GetProcessId(process);
    for (ULONG i = 0; i < entries; ++i)
        count += entry[i].ownerPid == pid;
    return count;
}

DWORD NetGlowProcess::HandleCount()
{
    return ProcessHandleCount(process);
}

int LampOnScreen()
{
    // The notification area sits at the right end of the taskbar at the
    // bottom of the screen; look for the lamp's body colour there.
    struct Lamp {
        int icon;
        COLORREF body;
    } const lamps[] = {
        { ICON_STOPPED, RGB(128, 0, 128) }, { ICON_IDLE, RGB(0, 0, 255) },
        { ICON_YELLOW, RGB(255, 255, 0) }, { ICON_RED, RGB(255, 0, 0) },
    };
    // One copy of the corner, then a scan of memory: a lit lamp shows for
    // only a few milliseconds, too short for pixel-by-pixel reads.
    const int cornerWidth = 160;
    const int cornerHeight = 40;
    int width = GetSystemMetrics(SM_CXSCREEN);
    int height = GetSystemMetrics(SM_CYSCREEN);
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info;
    ZeroMemory(&info, sizeof info);
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = cornerWidth;
    info.bmiHeader.biHeight = -cornerHeight;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, cornerWidth, cornerHeight, screen, width - cornerWidth, height - cornerHeight, SRCCOPY);
    GdiFlush();
    int counts[4] = { 0, 0, 0, 0 };
    const DWORD* pixels = static_cast<const DWORD*>(bits);
    for (int i = 0; i < cornerWidth * cornerHeight; ++i) {
        DWORD bgr = pixels[i] & 0xFFFFFF; // 0x00RRGGBB in a 32-bit DIB
        COLORREF pixel = RGB((bgr >> 16) & 0xFF, (bgr >> 8) & 0xFF, bgr & 0xFF);
        for (int lamp = 0; lamp < 4; ++lamp)
            if (pixel == lamps[lamp].body)
                ++counts[lamp];
    }
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    int best = 0;
    for (int i = 1; i < 4; ++i)
        if (counts[i] > counts[best])
            best = i;
    return counts[best] >= 8 ? lamps[best].icon : 0;
}

bool WaitForLampOnScreen(int icon, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    for (;;) {
        if (LampOnScreen() == icon)
            return true;
        if (GetTickCount() - start > timeoutMs)
            return false;
        Sleep(2);
    }
}

std::vector<NetGlowProcess::LampSet> NetGlowProcess::Lamps()
{
    std::vector<LampSet> lamps;
    for (const std::string& line : Lines(ReadFileBytes(wpcapCalls)))
        if (line.compare(0, 5, "lamp ") == 0)
            lamps.push_back({ std::atoi(line.c_str() + 5), line.find(" added") != std::string::npos });
    return lamps;
}

bool NetGlowProcess::WaitForLamp(int icon, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    for (;;) {
        std::vector<LampSet> lamps = Lamps();
        if (!lamps.empty() && lamps.back().lamp == icon)
            return true;
        if (GetTickCount() - start > timeoutMs)
            return false;
        Sleep(10);
    }
}

bool NetGlowProcess::WaitForLampAfter(size_t* position, std::vector<int> icons, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    for (;;) {
        std::vector<LampSet> lamps = Lamps();
        for (size_t i = *position; i < lamps.size(); ++i) {
            for (int icon : icons) {
                if (lamps[i].lamp == icon) {
                    *position = i + 1;
                    return true;
                }
            }
        }
        if (GetTickCount() - start > timeoutMs)
            return false;
        Sleep(10);
    }
}

std::string SettingsFile(const std::vector<std::pair<std::string, std::string>>& keys)
{
    std::string text = "[Option]\r\n";
    for (const auto& key : keys)
        text += key.first + "=" + key.second + "\r\n";
    return text;
}

