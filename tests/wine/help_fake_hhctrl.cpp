// Test double of the HTML Help control library: records each HtmlHelpA call
// and shows nothing. Registered in place of hhctrl.ocx by help_fake.h.
#include <windows.h>

namespace {
struct Call {
    HWND caller;
    char file[512];
    UINT command;
    DWORD_PTR data;
    DWORD tick;
};
Call calls[64];
LONG count;
}

extern "C" __declspec(dllexport) HWND WINAPI HtmlHelpA(HWND caller, LPCSTR file, UINT command, DWORD_PTR data)
{
    LONG i = InterlockedIncrement(&count) - 1;
    if (i < 64) {
        calls[i].caller = caller;
        lstrcpynA(calls[i].file, file ? file : "(null)", sizeof calls[i].file);
        calls[i].command = command;
        calls[i].data = data;
        calls[i].tick = GetTickCount();
    }
    return nullptr;
}

extern "C" __declspec(dllexport) int FakeHtmlHelpCount() { return count < 64 ? count : 64; }

extern "C" __declspec(dllexport) void FakeHtmlHelpCall(int i, HWND* caller, const char** file,
                                                       UINT* command, DWORD_PTR* data, DWORD* tick)
{
    *caller = calls[i].caller;
    *file = calls[i].file;
    *command = calls[i].command;
    *data = calls[i].data;
    *tick = calls[i].tick;
}

extern "C" __declspec(dllexport) void FakeHtmlHelpReset() { count = 0; }
