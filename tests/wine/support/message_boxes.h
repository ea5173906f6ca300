// Finds the program's message boxes (caption "NetGlow", or a given one) as a
// user sees them, reads them and answers them: in this process (the Wine
// tests) or in another (NetGlow.exe, end to end). Every wait is bounded.
#pragma once
#include <windows.h>
#include <string>
#include <vector>

struct SeenMessageBox {
    HWND window = nullptr;
    HWND owner = nullptr;
    std::string caption;
    std::string text;
    UINT iconStyle = 0; // MB_ICONERROR, MB_ICONQUESTION, MB_ICONINFORMATION or 0
    std::vector<int> buttons; // IDOK, IDYES, IDNO... in the order of the box
    DWORD threadId = 0;       // the thread that shows it
};

// Waits up to timeoutMs for a visible message box of the process (0: this
// one) with the caption, other than `besides`; fills *box. Keeps the calling
// thread's messages flowing.
bool WaitForMessageBox(SeenMessageBox* box, DWORD timeoutMs = 10000, const char* caption = "NetGlow",
                       HWND besides = nullptr, DWORD processId = 0);
// The same for a box of another process, with its caption "NetGlow".
bool WaitForMessageBoxOf(DWORD processId, SeenMessageBox* box, DWORD timeoutMs = 15000);
// How many such boxes the process shows now.
int CountMessageBoxesOf(DWORD processId, const char* caption = "NetGlow");
// The process's top-level windows of that class (null: any), in the system's
// order; only the visible ones, unless told otherwise.
std::vector<HWND> TopWindows(DWORD processId, const char* className, bool visibleOnly = true);
// Presses the button with that id (IDOK, IDYES, IDNO, ...) and waits for the
// box to close.
bool AnswerMessageBox(const SeenMessageBox& box, int buttonId, DWORD timeoutMs = 10000);
// True when no such box appears within the time.
bool NoMessageBoxWithin(DWORD timeoutMs, const char* caption = "NetGlow");

// Runs fn on a new thread while this thread answers every box that appears
// with IDOK/IDYES/IDNO as scripted; records what it saw. Used when the code
// under test shows its boxes on the calling thread.
std::vector<SeenMessageBox> RunAnsweringBoxes(void (*fn)(void*), void* arg,
                                              const std::vector<int>& answers,
                                              DWORD timeoutMs = 30000);

// Runs fn(arg) on a new thread; the caller waits for and closes the handle.
HANDLE StartCallThread(void (*fn)(void*), void* arg);

// Pumps this thread's messages for about the given time (for timers under test).
void PumpMessagesFor(DWORD milliseconds);
// Handles the messages already waiting for this thread (posted ones), then returns.
void PumpPending();
// Pumps messages until pred() holds or the time runs out; returns pred().
bool PumpUntil(bool (*pred)(void*), void* arg, DWORD timeoutMs);
