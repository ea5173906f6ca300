// Anchor for the working-set figure: the least a tray program is under Wine.
// A window of class "NetGlowFloor" with one notification icon and a message
// loop, linked like NetGlow.exe (static, the same system libraries). Ends
// on WM_CLOSE.
#include <winsock2.h>
#include <windows.h>
#include <shellapi.h>

namespace {

LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
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

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
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
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    WSACleanup();
    return 0;
}
