#include "support/netglow_process.h"
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <vector>
#include "res/resource.h"

std::string HostPathToWindows(const std::string& hostPath)
{
    std::string path = "Z:" + hostPath;
    for (char& c : path)
        if (c == '/')
            c = '\\';
    return path;
}

static std::string EnvPath(const char* name, const std::string& relative)
{
    const char* root = std::getenv(name);
    std::string path = HostPathToWindows(root ? root : ".");
    if (!relative.empty())
        path += "\\" + relative;
    for (char& c : path)
        if (c == '/')
            c = '\\';
    return path;
}

std::string SourcePath(const std::string& relative) { return EnvPath("NETGLOW_SOURCE_DIR", relative); }
std::string BuildPath(const std::string& relative) { return EnvPath("NETGLOW_BUILD_DIR", relative); }

size_t CountLines(const std::string& text)
{
    size_t lines = 0;
    for (char c : text)
        lines += (c == '\n');
    return lines;
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos) {
            lines.push_back(text.substr(at)); // a cut line: never a whole one
            break;
        }
        lines.push_back(text.substr(at, end + 1 - at));
        at = end + 1;
    }
    return lines;
}

bool WaitForLogLines(const std::string& path, size_t lines, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    while (CountLines(ReadWholeFile(path)) < lines) {
        if (GetTickCount() - start > timeoutMs)
            return false;
        Sleep(10);
    }
    return true;
}

std::string ReadWholeFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

bool WriteWholeFile(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
    return static_cast<bool>(out);
}

bool FileExists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string MakeTempFolder(const char* tag)
{
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    static int serial = 0;
    char folder[MAX_PATH];
    // Process ids start again with each Wine server, so a folder of an
    // earlier run may carry this name; its files must not pass for ours.
    for (int attempt = 0; attempt < 10000; ++attempt) {
        snprintf(folder, sizeof folder, "%sng-%s-%lu-%d\\", temp, tag,
                 static_cast<unsigned long>(GetCurrentProcessId()), ++serial);
        if (CreateDirectoryA(folder, nullptr))
            break;
    }
    return folder;
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
    wpcapControl = folder + "wpcap-control.txt";
    wpcapCalls = folder + "wpcap-calls.txt";
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
    if (!FileExists(wpcapControl))
        WriteWholeFile(wpcapControl, "");
    SetEnvironmentVariableA("NETGLOW_FAKE_WPCAP", wpcapControl.c_str());
    SetEnvironmentVariableA("NETGLOW_FAKE_IPCONFIG", ipconfigReport.c_str());

    std::string control = ReadWholeFile(wpcapControl);
    if (control.find("calls=") == std::string::npos)
        WriteWholeFile(wpcapControl, control + "calls=" + wpcapCalls + "\r\n");
}

bool NetGlowProcess::AttachToRunningCopy(DWORD notProcessId, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    for (;;) {
        // One main window per session: the single-instance check sees to it.
        HWND found = FindWindowA("NetGlow", nullptr);
        DWORD pid = 0;
        if (found != nullptr)
            GetWindowThreadProcessId(found, &pid);
        if (pid != 0 && pid != notProcessId) {
            HANDLE opened = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION | PROCESS_TERMINATE, FALSE, pid);
            if (opened != nullptr) {
                if (process != nullptr)
                    CloseHandle(process);
                process = opened;
                processId = pid;
                window = found;
                return true;
            }
        }
        if (GetTickCount() - start > timeoutMs)
            return false;
        Sleep(20);
    }
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

namespace {
struct WindowSearch {
    DWORD processId;
    const char* className; // null: any
    const char* caption;   // null: any; otherwise a part of the caption
    bool visibleOnly;
    HWND found;
    bool messageBox; // the caption whole, and a message box's text control
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
    bool captionFits = search->caption == nullptr
        || (search->messageBox ? lstrcmpA(caption, search->caption) == 0 && GetDlgItem(window, 0xFFFF) != nullptr
                               : strstr(caption, search->caption) != nullptr);
    if ((search->className == nullptr || lstrcmpA(className, search->className) == 0) && captionFits) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}
} // namespace

HWND FindProcessWindow(DWORD processId, const char* className, const char* caption, bool visibleOnly)
{
    WindowSearch search = { processId, className, caption, visibleOnly, nullptr, false };
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

int CountCalls(const std::string& callsPath, const std::string& prefix)
{
    std::istringstream lines(ReadWholeFile(callsPath));
    std::string line;
    int count = 0;
    while (std::getline(lines, line))
        if (line.compare(0, prefix.size(), prefix) == 0)
            ++count;
    return count;
}

int VisibleLamp()
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

bool WaitForLamp(int icon, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    for (;;) {
        if (VisibleLamp() == icon)
            return true;
        if (GetTickCount() - start > timeoutMs)
            return false;
        Sleep(2);
    }
}

bool WaitUntil(bool (*pred)(void*), void* arg, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    while (!pred(arg)) {
        if (GetTickCount() - start > timeoutMs)
            return pred(arg);
        Sleep(10);
    }
    return true;
}

namespace {
// Icon handles are not comparable across processes, so compare what the
// box shows on screen with each system icon drawn on the same background.
UINT ForeignIconStyle(HWND box)
{
    HWND iconControl = GetDlgItem(box, 0x0014);
    if (iconControl == nullptr)
        iconControl = GetDlgItem(box, 0x0440); // Wine's number for it
    if (iconControl == nullptr)
        return 0;
    RECT rect;
    GetWindowRect(iconControl, &rect);
    const int size = 32;
    HDC screen = GetDC(nullptr);
    HDC shown = CreateCompatibleDC(screen);
    HBITMAP shownBitmap = CreateCompatibleBitmap(screen, size, size);
    HGDIOBJ oldShown = SelectObject(shown, shownBitmap);
    BitBlt(shown, 0, 0, size, size, screen, rect.left, rect.top, SRCCOPY);
    COLORREF background = GetPixel(shown, 0, 0);

    HDC drawn = CreateCompatibleDC(screen);
    HBITMAP drawnBitmap = CreateCompatibleBitmap(screen, size, size);
    HGDIOBJ oldDrawn = SelectObject(drawn, drawnBitmap);
    struct { LPCSTR id; UINT style; } icons[] = {
        { IDI_HAND, MB_ICONERROR }, { IDI_QUESTION, MB_ICONQUESTION }, { IDI_ASTERISK, MB_ICONINFORMATION },
    };
    UINT style = 0;
    for (auto& icon : icons) {
        HBRUSH brush = CreateSolidBrush(background);
        RECT all = { 0, 0, size, size };
        FillRect(drawn, &all, brush);
        DeleteObject(brush);
        DrawIconEx(drawn, 0, 0, LoadIconA(nullptr, icon.id), size, size, 0, nullptr, DI_NORMAL);
        int same = 0;
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x)
                same += GetPixel(drawn, x, y) == GetPixel(shown, x, y);
        if (same == size * size) {
            style = icon.style;
            break;
        }
    }
    SelectObject(drawn, oldDrawn);
    DeleteObject(drawnBitmap);
    DeleteDC(drawn);
    SelectObject(shown, oldShown);
    DeleteObject(shownBitmap);
    DeleteDC(shown);
    ReleaseDC(nullptr, screen);
    return style;
}
} // namespace

bool WaitForForeignMessageBox(DWORD processId, ForeignMessageBox* box, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    for (;;) {
        WindowSearch search = { processId, "#32770", "NetGlow", true, nullptr, true };
        EnumWindows(FindWindowOf, reinterpret_cast<LPARAM>(&search));
        if (search.found != nullptr) {
            char text[2048] = "";
            GetDlgItemTextA(search.found, 0xFFFF, text, sizeof text);
            box->window = search.found;
            box->text = text;
            // The box may still be painting; look again for a moment.
            box->iconStyle = ForeignIconStyle(search.found);
            for (int retry = 0; retry < 50 && box->iconStyle == 0; ++retry) {
                Sleep(20);
                box->iconStyle = ForeignIconStyle(search.found);
            }
            box->threadId = GetWindowThreadProcessId(search.found, nullptr);
            return true;
        }
        if (GetTickCount() - start > timeoutMs)
            return false;
        Sleep(20);
    }
}

namespace {
struct BoxCount {
    DWORD processId;
    int count;
};

BOOL CALLBACK CountBox(HWND window, LPARAM param)
{
    BoxCount* boxes = reinterpret_cast<BoxCount*>(param);
    WindowSearch search = { boxes->processId, "#32770", "NetGlow", true, nullptr, true };
    if (!FindWindowOf(window, reinterpret_cast<LPARAM>(&search)))
        ++boxes->count;
    return TRUE;
}
} // namespace

int CountForeignMessageBoxes(DWORD processId)
{
    BoxCount boxes = { processId, 0 };
    EnumWindows(CountBox, reinterpret_cast<LPARAM>(&boxes));
    return boxes.count;
}

bool AnswerForeignMessageBox(const ForeignMessageBox& box, int buttonId, DWORD timeoutMs)
{
    PostMessageA(box.window, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(box.window, buttonId)));
    DWORD start = GetTickCount();
    while (IsWindow(box.window)) {
        if (GetTickCount() - start > timeoutMs)
            return false;
        Sleep(10);
    }
    return true;
}

std::string SettingsFile(const std::vector<std::pair<std::string, std::string>>& keys)
{
    std::string text = "[Option]\r\n";
    for (const auto& key : keys)
        text += key.first + "=" + key.second + "\r\n";
    return text;
}

bool NoForeignMessageBoxWithin(DWORD processId, DWORD timeoutMs)
{
    ForeignMessageBox box;
    return !WaitForForeignMessageBox(processId, &box, timeoutMs);
}
