#include "support/tray_user.h"
#include "res/resource.h"

bool OpenTrayMenu(NetGlowProcess& ng, HWND* popup, DWORD timeoutMs)
{
    PostMessageA(ng.window, TRAY_CALLBACK_MESSAGE, TRAY_ICON_ID, WM_RBUTTONDOWN);
    return WaitFor([&] { return (*popup = FindProcessWindow(ng.processId, "#32768", nullptr, true)) != nullptr; },
                   timeoutMs);
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
    WaitFor([&] { return ShownTip(shell) == nullptr; }, 2000);
    // Wine lays the icons out from the taskbar's right end, each a small
    // icon with a border of 2. The tip shows after the mouse rests a moment
    // on it; one that missed the arrival (hidden just then) shows on a
    // further move, so the mouse moves by a pixel now and then.
    int x = bar.right - GetSystemMetrics(SM_CXSMICON) / 2 - 2;
    int y = (bar.top + bar.bottom) / 2;
    DWORD start = GetTickCount();
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
    HWND found = nullptr;
    WaitFor([&] { return (found = FindProcessWindow(processId, className, caption, true)) != nullptr; }, timeoutMs);
    return found;
}

void ClickButton(HWND dialog, int buttonId)
{
    HWND button = GetDlgItem(dialog, buttonId);
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED), reinterpret_cast<LPARAM>(button));
}

bool WaitUntilGone(HWND window, DWORD timeoutMs)
{
    return WaitFor([&] { return !IsWindow(window) || !IsWindowVisible(window); }, timeoutMs);
}

bool SaveScreenshot(const std::string& path, const RECT* part)
{
    RECT area = { 0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN) };
    BITMAPINFOHEADER header;
    std::vector<BYTE> bits = ScreenBits(part != nullptr ? *part : area, 24, &header);
    BITMAPFILEHEADER file = {};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof header;
    file.bfSize = file.bfOffBits + static_cast<DWORD>(bits.size());
    return !bits.empty()
        && WriteWholeFile(path, std::string(reinterpret_cast<const char*>(&file), sizeof file)
                                    + std::string(reinterpret_cast<const char*>(&header), sizeof header)
                                    + std::string(bits.begin(), bits.end()));
}
