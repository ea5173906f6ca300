#include "support/netglow_process.h"
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <vector>
#include "res/resource.h"
#include "tests/wine/support/notify_recorder.h"

bool WaitForLogLines(const std::string& path, size_t lines, DWORD timeoutMs)
{
    return WaitFor([&] { return CountLines(ReadFileBytes(path)) >= lines; }, timeoutMs);
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

void NetGlowProcess::UseDoubles()
{
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
}

bool NetGlowProcess::AttachToRunningCopy(DWORD notProcessId, DWORD timeoutMs)
{
    return WaitFor([&] {
        // One main window per session: the single-instance check sees to it.
        HWND found = FindWindowA("NetGlow", nullptr);
        DWORD pid = 0;
        if (found != nullptr)
            GetWindowThreadProcessId(found, &pid);
        HANDLE opened = pid != 0 && pid != notProcessId
            ? OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION | PROCESS_TERMINATE, FALSE, pid)
            : nullptr;
        if (opened == nullptr)
            return false;
        if (process != nullptr)
            CloseHandle(process);
        process = opened;
        processId = pid;
        window = found;
        return true;
    }, timeoutMs);
}

bool NetGlowProcess::Start(bool alone)
{
    if (alone && !EarlierCopiesEnded(30000))
        return false;
    std::string exe = folder + "NetGlow.exe";
    if (!CopyFileA(BuildPath("NetGlow.exe").c_str(), exe.c_str(), FALSE))
        return false;
    CopyFileA(BuildPath("NetGlow.chm").c_str(), (folder + "NetGlow.chm").c_str(), FALSE);
    UseDoubles();

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

HWND FindProcessWindow(DWORD processId, const char* className, const char* caption, bool visibleOnly)
{
    for (HWND window : TopWindows(processId, className, visibleOnly)) {
        char text[256] = "";
        GetWindowTextA(window, text, sizeof text);
        if (caption == nullptr || strstr(text, caption) != nullptr)
            return window;
    }
    return nullptr;
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

std::vector<BYTE> ScreenBits(const RECT& area, WORD bitCount, BITMAPINFOHEADER* header)
{
    *header = {};
    header->biSize = sizeof *header;
    header->biWidth = area.right - area.left;
    header->biHeight = area.bottom - area.top;
    header->biPlanes = 1;
    header->biBitCount = bitCount;
    header->biCompression = BI_RGB;
    header->biSizeImage = ((header->biWidth * bitCount / 8 + 3) & ~3) * header->biHeight;
    if (header->biWidth <= 0 || header->biHeight <= 0)
        return {};
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, reinterpret_cast<BITMAPINFO*>(header), DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, header->biWidth, header->biHeight, screen, area.left, area.top, SRCCOPY);
    GdiFlush();
    std::vector<BYTE> copy(static_cast<BYTE*>(bits), static_cast<BYTE*>(bits) + header->biSizeImage);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return copy;
}

int LampOnScreen()
{
    // The notification area sits at the right end of the taskbar at the
    // bottom of the screen. One copy of that corner, then a scan of memory:
    // a lit lamp shows for only a few milliseconds, too short for
    // pixel-by-pixel reads.
    int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    BITMAPINFOHEADER header;
    std::vector<BYTE> bits = ScreenBits({ width - 160, height - 40, width, height }, 32, &header);
    const RGBQUAD* pixels = reinterpret_cast<const RGBQUAD*>(bits.data());
    return LampOfPixels(std::vector<RGBQUAD>(pixels, pixels + bits.size() / 4), 8);
}

bool WaitForLampOnScreen(int icon, DWORD timeoutMs)
{
    // A lit lamp shows for only a few milliseconds: looked for every 2.
    DWORD start = GetTickCount();
    while (LampOnScreen() != icon) {
        if (GetTickCount() - start > timeoutMs)
            return false;
        Sleep(2);
    }
    return true;
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
    return WaitFor([&] {
        std::vector<LampSet> lamps = Lamps();
        return !lamps.empty() && lamps.back().lamp == icon;
    }, timeoutMs);
}

bool NetGlowProcess::WaitForLampAfter(size_t* position, std::vector<int> icons, DWORD timeoutMs)
{
    return WaitFor([&] {
        std::vector<LampSet> lamps = Lamps();
        for (size_t i = *position; i < lamps.size(); ++i)
            for (int icon : icons)
                if (lamps[i].lamp == icon)
                    return (*position = i + 1) > 0;
        return false;
    }, timeoutMs);
}

std::string SettingsFile(const std::vector<std::pair<std::string, std::string>>& keys)
{
    std::string text = "[Option]\r\n";
    for (const auto& key : keys)
        text += key.first + "=" + key.second + "\r\n";
    return text;
}

