#include "support/tray_user.h"
#include <cstdio>
#include "res/resource.h"

bool OpenTrayMenu(NetGlowProcess& ng, HWND* popup, DWORD timeoutMs)
{
    PostMessageA(ng.window, TRAY_CALLBACK_MESSAGE, TRAY_ICON_ID, WM_RBUTTONDOWN);
    DWORD start = GetTickCount();
    while ((*popup = FindProcessWindow(ng.processId, "#32768", nullptr, true)) == nullptr) {
        if (GetTickCount() - start > timeoutMs)
            return false;
        Sleep(10);
    }
    return true;
}

bool ChooseMenuItem(HWND popup, const MenuTexts& items, const std::string& text, DWORD timeoutMs)
{
    int steps = 0;
    bool found = false;
    for (const std::string& item : items) {
        if (item == "-")
            continue; // the keyboard skips separators
        ++steps;
        if (item == text) {
            found = true;
            break;
        }
    }
    if (!found) {
        PostMessageA(popup, WM_KEYDOWN, VK_ESCAPE, 0);
        return false;
    }
    for (int i = 0; i < steps; ++i)
        PostMessageA(popup, WM_KEYDOWN, VK_DOWN, 0);
    PostMessageA(popup, WM_KEYDOWN, VK_RETURN, 0);
    return WaitUntilGone(popup, timeoutMs);
}

bool ChooseFromTrayMenu(NetGlowProcess& ng, const MenuTexts& items, const std::string& text)
{
    HWND popup = nullptr;
    return OpenTrayMenu(ng, &popup) && ChooseMenuItem(popup, items, text);
}

namespace {
void MoveMouseTo(int x, int y)
{
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dx = x * 65535 / (GetSystemMetrics(SM_CXSCREEN) - 1);
    input.mi.dy = y * 65535 / (GetSystemMetrics(SM_CYSCREEN) - 1);
    input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    SendInput(1, &input, sizeof input);
}

HWND ShownTip(DWORD shellProcess)
{
    for (HWND tip = FindWindowExA(nullptr, nullptr, "tooltips_class32", nullptr); tip != nullptr;
         tip = FindWindowExA(nullptr, tip, "tooltips_class32", nullptr)) {
        DWORD owner = 0;
        GetWindowThreadProcessId(tip, &owner);
        if (owner == shellProcess && IsWindowVisible(tip))
            return tip;
    }
    return nullptr;
}
} // namespace

std::string TrayIconTip(DWORD timeoutMs)
{
    HWND taskbar = FindWindowA("Shell_TrayWnd", nullptr);
    RECT bar;
    if (taskbar == nullptr || !GetWindowRect(taskbar, &bar))
        return "";
    DWORD shell = 0;
    GetWindowThreadProcessId(taskbar, &shell);
    // Away first, until no tip shows: a tip shows again only when the
    // mouse comes anew.
    MoveMouseTo((bar.left + bar.right) / 2, bar.top - 100);
    DWORD start = GetTickCount();
    while (ShownTip(shell) != nullptr && GetTickCount() - start < 2000)
        Sleep(20);
    // Wine lays the icons out from the taskbar's right end, each a small
    // icon with a border of 2. The tip shows after the mouse rests a moment
    // on it; one that missed the arrival (hidden just then) shows on a
    // further move, so the mouse moves by a pixel now and then.
    int x = bar.right - GetSystemMetrics(SM_CXSMICON) / 2 - 2;
    int y = (bar.top + bar.bottom) / 2;
    start = GetTickCount();
    for (int moves = 0;; ++moves) {
        MoveMouseTo(x + moves % 2, y);
        DWORD moved = GetTickCount();
        do {
            char text[256] = "";
            DWORD_PTR length = 0;
            HWND tip = ShownTip(shell);
            if (tip != nullptr
                && SendMessageTimeoutA(tip, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text), SMTO_NORMAL,
                                       2000, &length) != 0)
                return text;
            if (GetTickCount() - start > timeoutMs)
                return "";
            Sleep(20);
        } while (GetTickCount() - moved < 1000);
    }
}

HWND WaitForWindow(DWORD processId, const char* className, const char* caption, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    for (;;) {
        HWND found = FindProcessWindow(processId, className, caption, true);
        if (found != nullptr)
            return found;
        if (GetTickCount() - start > timeoutMs)
            return nullptr;
        Sleep(20);
    }
}

void ClickButton(HWND dialog, int buttonId)
{
    HWND button = GetDlgItem(dialog, buttonId);
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED), reinterpret_cast<LPARAM>(button));
}

bool WaitUntilGone(HWND window, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    while (IsWindow(window) && IsWindowVisible(window)) {
        if (GetTickCount() - start > timeoutMs)
            return false;
        Sleep(10);
    }
    return true;
}

bool SaveScreenshot(const std::string& path, const RECT* part)
{
    RECT area = { 0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN) };
    if (part != nullptr)
        area = *part;
    int width = area.right - area.left;
    int height = area.bottom - area.top;
    if (width <= 0 || height <= 0)
        return false;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info;
    ZeroMemory(&info, sizeof info);
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY);
    GdiFlush();
    DWORD stride = ((static_cast<DWORD>(width) * 3 + 3) & ~3u);
    DWORD imageSize = stride * static_cast<DWORD>(height);
    BITMAPFILEHEADER file;
    ZeroMemory(&file, sizeof file);
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info.bmiHeader;
    file.bfSize = file.bfOffBits + imageSize;
    bool written = false;
    if (FILE* out = fopen(path.c_str(), "wb")) {
        written = fwrite(&file, sizeof file, 1, out) == 1
               && fwrite(&info.bmiHeader, sizeof info.bmiHeader, 1, out) == 1
               && fwrite(bits, imageSize, 1, out) == 1;
        fclose(out);
    }
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return written;
}
