// Drives the program's modal dialogs from a second thread, as a user would:
// the dialog runs on the test's own thread, the script on another one.
#pragma once
#include <windows.h>
#include <initializer_list>
#include <string>
#include "support/message_boxes.h"
#include "support/test_files.h"

namespace driver {

inline bool HasVersionLine(HWND dialog)
{
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        wchar_t text[128] = L"";
        GetWindowTextW(child, text, 128);
        if (wcsstr(text, L"Version " NETGLOW_VERSION) != nullptr)
            return true;
    }
    return false;
}

// The Setup dialog ("Setup") or the About box ("NetGlow"), which shares its
// caption with the message boxes.
inline HWND WaitForDialog(const char* caption, DWORD timeoutMs = 10000)
{
    HWND found = nullptr;
    WaitFor([&] {
        for (HWND window : TopWindows(GetCurrentProcessId(), "#32770")) {
            char title[64] = "";
            GetWindowTextA(window, title, sizeof title);
            if (found == nullptr && lstrcmpA(title, caption) == 0
                && HasVersionLine(window) == (lstrcmpA(caption, "NetGlow") == 0))
                found = window;
        }
        return found != nullptr;
    }, timeoutMs);
    return found;
}

inline bool WaitGone(HWND window, DWORD timeoutMs = 10000)
{
    return WaitFor([&] { return !IsWindow(window); }, timeoutMs);
}

// Messages the dialog's thread has taken from its queue, seen by a hook.
constexpr UINT MARKER = WM_APP + 77;
inline volatile LONG markersSeen;
inline HHOOK markerHook;
inline LRESULT CALLBACK MarkerHook(int code, WPARAM wParam, LPARAM lParam)
{
    MSG* msg = reinterpret_cast<MSG*>(lParam);
    if (code == HC_ACTION && wParam == PM_REMOVE && msg->message == MARKER)
        InterlockedIncrement(&markersSeen);
    return CallNextHookEx(markerHook, code, wParam, lParam);
}

// Returns once everything posted to the dialog before has been handled (the
// dialog's loop takes one message at a time), or false when the dialog ended.
inline bool Settle(HWND dialog, DWORD timeoutMs = 10000)
{
    LONG before = markersSeen;
    return PostMessageA(dialog, MARKER, 0, 0)
        && WaitFor([&] { return markersSeen != before || !IsWindow(dialog); }, timeoutMs) && IsWindow(dialog);
}

inline HWND FocusOf(HWND dialog)
{
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &info);
    return info.hwndFocus ? info.hwndFocus : dialog;
}

// A key pressed and released on the control that has the focus.
inline void PressKey(HWND dialog, UINT key)
{
    HWND focus = FocusOf(dialog);
    UINT scan = MapVirtualKeyA(key, MAPVK_VK_TO_VSC);
    PostMessageA(focus, WM_KEYDOWN, key, 1 | (scan << 16));
    PostMessageA(focus, WM_KEYUP, key, 1 | (scan << 16) | 0xC0000000);
}

// Keys that the window manager turns into commands (F1 into WM_HELP, Alt+F4
// into the close command) only work as real input to the active window.
inline bool TypeInput(HWND dialog, std::initializer_list<WORD> keys)
{
    SetForegroundWindow(dialog);
    if (!WaitFor([&] { return GetForegroundWindow() == dialog; }, 5000))
        return false;
    INPUT inputs[8] = {};
    UINT n = 0;
    for (WORD key : keys) {
        inputs[n].type = INPUT_KEYBOARD;
        inputs[n++].ki.wVk = key;
    }
    for (auto key = keys.end(); key != keys.begin();) {
        --key;
        inputs[n].type = INPUT_KEYBOARD;
        inputs[n].ki.wVk = *key;
        inputs[n++].ki.dwFlags = KEYEVENTF_KEYUP;
    }
    return SendInput(n, inputs, sizeof(INPUT)) == n;
}

inline bool PressF1(HWND dialog) { return TypeInput(dialog, { VK_F1 }); }
inline bool PressAltF4(HWND dialog) { return TypeInput(dialog, { VK_MENU, VK_F4 }); }

// A button pressed with the mouse; posted, since what it starts may be modal.
inline void Click(HWND dialog, int id) { PostMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

struct Run {
    void (*script)(HWND dialog, void* arg);
    void* arg;
    const char* caption;
    bool sawDialog;
};

inline void RunScript(void* param)
{
    Run* run = static_cast<Run*>(param);
    HWND dialog = WaitForDialog(run->caption);
    run->sawDialog = dialog != nullptr;
    if (dialog == nullptr)
        return;
    run->script(dialog, run->arg);
    // Never leave the test's thread stuck in the dialog: a close message
    // ends either dialog without a question.
    if (IsWindow(dialog)) {
        PostMessageA(dialog, WM_CLOSE, 0, 0);
        WaitGone(dialog);
    }
}

// Calls open() on this thread, which must run the dialog modally, while the
// script drives it. True when the dialog appeared and the script has ended.
template <typename Open>
bool Drive(const char* caption, Open open, void (*script)(HWND, void*), void* arg = nullptr)
{
    if (markerHook == nullptr)
        markerHook = SetWindowsHookExA(WH_GETMESSAGE, MarkerHook, nullptr, GetCurrentThreadId());
    Run run = { script, arg, caption, false };
    HANDLE thread = StartCallThread(RunScript, &run);
    open();
    // A dialog that failed to open leaves the script waiting for its bound.
    bool ended = WaitForSingleObject(thread, 30000) == WAIT_OBJECT_0;
    CloseHandle(thread);
    return ended && run.sawDialog;
}

} // namespace driver
