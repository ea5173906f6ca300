// Runs NetGlow.exe as a user would: a program folder of its own with a
// settings file, the capture library and ipconfig doubles configured through
// their control files, then drives it through its main window.
#pragma once
#include <windows.h>
#include <string>
#include <vector>

// Host paths (from the environment CTest gives us) seen from Windows.
std::string HostPathToWindows(const std::string& hostPath);
std::string SourcePath(const std::string& relative);
std::string BuildPath(const std::string& relative);

std::string ReadWholeFile(const std::string& path);
// Lines ended by "\n" in a text.
size_t CountLines(const std::string& text);
// The lines of a text, each with its "\n"; a cut last line as it stands.
std::vector<std::string> Lines(const std::string& text);
// Waits until the file holds at least that many lines, bounded.
bool WaitForLogLines(const std::string& path, size_t lines, DWORD timeoutMs = 15000);
bool WriteWholeFile(const std::string& path, const std::string& bytes);
bool FileExists(const std::string& path);

// A fresh, empty folder under the temporary directory.
std::string MakeTempFolder(const char* tag);

// The registry as Windows keeps it for the given adapters:
// SYSTEM\Select "Current" and each GUID's "Connection" "Name".
struct SeededAdapter {
    std::string guid; // "{...}"
    std::string connectionName;
};
void SeedRegistry(const std::vector<SeededAdapter>& adapters);

class NetGlowProcess {
public:
    NetGlowProcess();
    ~NetGlowProcess();

    std::string folder;       // the program folder, with trailing backslash
    std::string settingsPath; // folder + NetGlow.ini
    std::string logPath;      // folder + NetGlow.txt
    std::string wpcapControl; // control file of the fake capture library
    std::string wpcapCalls;   // the calls it received, one per line
    std::string ipconfigReport;
    std::string desktop;      // empty: the default desktop (with the shell)

    // Copies NetGlow.exe into `folder` and starts it, once every copy this
    // program started before has ended (a second copy ends at once), with a
    // bound; alone false: at once. False if it did not start.
    bool Start(bool alone = true);
    // Points the doubles at this object's control files for every program
    // this process starts from now on, and what those start in turn (an
    // installer, a shortcut). Start does this itself.
    void UseDoubles();
    // Takes over the copy that runs in this session, however it was started,
    // found by its main window class (shown or not yet), bounded; a copy
    // whose process id is `not` (one that is ending) is passed over. False
    // when none came up in time.
    bool AttachToRunningCopy(DWORD notProcessId = 0, DWORD timeoutMs = 30000);
    // Waits for the main window (class "NetGlow"), bounded.
    HWND WaitForMainWindow(DWORD timeoutMs = 30000);
    // Sends a command to the main window and waits until it was handled.
    bool Command(int id, DWORD timeoutMs = 30000);
    // True when the main window still answers messages within the time.
    bool Answers(DWORD timeoutMs = 5000);
    // Waits for the process to end; returns its exit code, or -1 on time-out.
    int WaitForExit(DWORD timeoutMs = 30000);
    DWORD HandleCount();

    HANDLE process = nullptr;
    DWORD processId = 0;
    HWND window = nullptr;
};

// A top-level window of the process with that class (null: any) and a caption
// containing `caption` (null: any).
HWND FindProcessWindow(DWORD processId, const char* className, const char* caption, bool visibleOnly);

// Open handles of a process (from the system's handle table where the
// direct question gets no answer, as under Wine).
DWORD ProcessHandleCount(HANDLE process);

// Lines of the fake library's call log that begin with `prefix`.
int CountCalls(const std::string& callsPath, const std::string& prefix);

// Which lamp the notification area shows, by its body colour: ICON_STOPPED
// (purple), ICON_IDLE (blue), ICON_YELLOW, ICON_RED; 0 when none is visible.
int VisibleLamp();
// Waits until VisibleLamp() equals `icon`, bounded; 0 waits for the icon to
// be gone (the shell repaints its notification area a moment after a delete).
bool WaitForLamp(int icon, DWORD timeoutMs = 10000);

bool WaitUntil(bool (*pred)(void*), void* arg, DWORD timeoutMs);

// A message box (dialog class, caption "NetGlow") shown by another process.
struct ForeignMessageBox {
    HWND window = nullptr;
    std::string text;
    UINT iconStyle = 0;
    DWORD threadId = 0; // the thread that shows it
};
bool WaitForForeignMessageBox(DWORD processId, ForeignMessageBox* box, DWORD timeoutMs = 15000);
// How many such boxes the process shows now.
int CountForeignMessageBoxes(DWORD processId);
bool AnswerForeignMessageBox(const ForeignMessageBox& box, int buttonId, DWORD timeoutMs = 10000);

// The settings file as the program writes it: section "Option", CRLF lines.
std::string SettingsFile(const std::vector<std::pair<std::string, std::string>>& keys);
bool NoForeignMessageBoxWithin(DWORD processId, DWORD timeoutMs);
