// Anchor for the working-set figure: the least a tray program is under Wine.
// A window of class "NetGlowFloor" with one notification icon and a message
// loop, linked like NetGlow.exe (static, the same system libraries). Ends
// on WM_CLOSE.
// With "timer=N" it also re-arms an N ms window timer at every expiry, as
// the lamp does while frames go on, and with "shown" it shows a window
// besides: the least a thread waking that often costs under Wine, the
// anchor for the GUI thread's CPU.
#include <winsock2.h>
#include <windows.h>
#include <shellapi.h>
#include <cstdlib>
#include <cstring>

namespace {

UINT timerMs = 0;

LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_TIMER && timerMs != 0) {
        SetTimer(window, 1, timerMs, nullptr);
        return 0;
    }
    if (message == WM_DESTROY) {
        NOTIFYICONDATAA record = {};
        record.cbSize = NOTIFYICONDATAA_V1_SIZE;
        record.hWnd = window;
        record.uID = 1;
        Shell_NotifyIconA(NIM_DELETE, &record);
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int)
{
    const char* timer = commandLine != nullptr ? strstr(commandLine, "timer=") : nullptr;
    timerMs = timer != nullptr ? static_cast<UINT>(atoi(timer + 6)) : 0;
    bool shown = commandLine != nullptr && strstr(commandLine, "shown") != nullptr;
    WSADATA wsa;
    WSAStartup(MAKEWORD(2, 2), &wsa);
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = Proc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = "NetGlowFloor";
    RegisterClassA(&windowClass);
    HWND window = CreateWindowExA(0, "NetGlowFloor", "NetGlowFloor", WS_MINIMIZE | WS_CAPTION | WS_SYSMENU,
                                  CW_USEDEFAULT, 0, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance, nullptr);
    NOTIFYICONDATAA record = {};
    record.cbSize = NOTIFYICONDATAA_V1_SIZE;
    record.hWnd = window;
    record.uID = 1;
    record.uFlags = NIF_ICON | NIF_TIP;
    record.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
    lstrcpynA(record.szTip, "floor", sizeof record.szTip);
    Shell_NotifyIconA(NIM_ADD, &record);
    if (shown)
        ShowWindow(CreateWindowExA(0, "STATIC", "shown", WS_OVERLAPPEDWINDOW, 100, 100, 600, 400, nullptr,
                                   nullptr, instance, nullptr),
                   SW_SHOWNORMAL);
    if (timerMs != 0)
        SetTimer(window, 1, timerMs, nullptr);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    WSACleanup();
    return 0;
}
