// Runs NetGlow.exe as a user would: a program folder of its own with a
// settings file, the capture library and ipconfig doubles configured through
// their control files, then drives it through its main window.
#pragma once
#include <windows.h>
#include <string>
#include <vector>
#include "tests/wine/support/message_boxes.h"
#include "tests/wine/support/registry_seed.h"
#include "tests/wine/support/test_files.h"

// Waits until the file holds at least that many lines, bounded.
bool WaitForLogLines(const std::string& path, size_t lines, DWORD timeoutMs = 15000);


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

    // The icon's images as the program set them, in order, from the fake
    // capture library's record (kept from the program's first look for
    // adapters on): the lamp (ICON_...), 0 for the icon's delete.
    struct LampSet {
        int lamp;
        bool added; // by an add, not a change of the icon there
    };
    std::vector<LampSet> Lamps();
    // Waits until the image set last is `icon`, bounded.
    bool WaitForLamp(int icon, DWORD timeoutMs = 10000);
    // Waits for one of `icons` among the images set after the first
    // *position ones, bounded; *position then counts up to it.
    bool WaitForLampAfter(size_t* position, std::vector<int> icons, DWORD timeoutMs = 10000);

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

// A part of the screen as a bottom-up DIB of 24 or 32 bits per pixel, rows
// padded to four bytes, as `header` describes it.
std::vector<BYTE> ScreenBits(const RECT& area, WORD bitCount, BITMAPINFOHEADER* header);

// Which lamp the notification area shows on screen, by its body colour:
// ICON_STOPPED (purple), ICON_IDLE (blue), ICON_YELLOW, ICON_RED; 0 when none
// is visible. For what a person sees (pictures, timings) and for images set
// where no record of the program's calls is kept (NetGlowProcess::Lamps).
int LampOnScreen();
// Waits until LampOnScreen() equals `icon`, bounded; 0 waits for the icon to
// be gone (the shell repaints its notification area a moment after a delete).
bool WaitForLampOnScreen(int icon, DWORD timeoutMs = 10000);

// The settings file as the program writes it: section "Option", CRLF lines.
std::string SettingsFile(const std::vector<std::pair<std::string, std::string>>& keys);
