// The notification-area icon. Every call is made on the GUI thread, which
// owns trayData, so no lock guards it: a message sent to the main window
// while the shell is busy with one of these calls (a "TaskbarCreated"
// broadcast, a click) may run another of them safely in between.
#include "tray/tray_icon_win.h"
#include <cstring>
#include "core/app_state.h"
#include "tray/tray_image_win.h"

namespace {

// The first-version record: 88 bytes on 32-bit Windows, 104 on 64-bit.
const DWORD TRAY_RECORD_SIZE = NOTIFYICONDATAA_V1_SIZE;
const int TIP_LIMIT = 64;
const UINT FLAGS_WITHOUT_TIP = NIF_MESSAGE | NIF_ICON;
// The lamp the record's image shows, for a new size or look.
UINT shownIconId = 0;

void CopyTip(const char* tip)
{
    size_t length = TipBytesThatFit(tip, TIP_LIMIT - 1);
    std::memmove(app.trayData.szTip, tip, length);
    app.trayData.szTip[length] = '\0';
}

} // namespace

size_t TipBytesThatFit(const char* text, size_t room)
{
    const char* end = text;
    while (*end != '\0') {
        const char* next = CharNextA(end);
        if (static_cast<size_t>(next - text) > room)
            break;
        end = next;
    }
    return static_cast<size_t>(end - text);
}

BOOL TrayIconAdd(HWND window, UINT id, UINT callbackMessage, HICON icon, const char* tip)
{
    app.trayData.hWnd = window;
    app.trayData.cbSize = TRAY_RECORD_SIZE;
    app.trayData.hIcon = icon;
    app.trayData.uID = id;
    app.trayData.uFlags = FLAGS_WITHOUT_TIP;
    app.trayData.uCallbackMessage = callbackMessage;
    if (tip != nullptr) {
        app.trayData.uFlags = FLAGS_WITHOUT_TIP | NIF_TIP;
        CopyTip(tip);
    }
    // A copy goes to the shell: a call made while this one waits may change
    // the record, and this call must still deliver what it was given.
    NOTIFYICONDATAA record = app.trayData;
    if (Shell_NotifyIconA(NIM_ADD, &record))
        return TRUE;
    // A shell busy at logon may time out an add that it then carries out;
    // every later add of the icon fails. A modify tells whether it is there.
    record = app.trayData;
    return Shell_NotifyIconA(NIM_MODIFY, &record);
}

void TrayIconDelete(HWND window, UINT id)
{
    app.trayIconAdded = 0;
    NOTIFYICONDATAA record;
    ZeroMemory(&record, sizeof record);
    record.cbSize = TRAY_RECORD_SIZE;
    record.hWnd = window;
    record.uID = id;
    Shell_NotifyIconA(NIM_DELETE, &record);
}

void TrayIconSetImage(UINT lamp)
{
    shownIconId = lamp;
    app.trayData.hIcon = LoadTrayImage(lamp);
    NOTIFYICONDATAA record = app.trayData;
    Shell_NotifyIconA(NIM_MODIFY, &record);
}

void TrayIconSetTip(const char* tip)
{
    if (tip != nullptr) {
        app.trayData.uFlags |= NIF_TIP;
        CopyTip(tip);
    }
    NOTIFYICONDATAA record = app.trayData;
    Shell_NotifyIconA(NIM_MODIFY, &record);
}

void TrayIconShowImageAgain()
{
    if (shownIconId != 0)
        TrayIconSetImage(shownIconId);
}

void TrayIconFollowLook()
{
    // Settings announces one change several times: only a real one is sent.
    if (RefreshLampLook())
        TrayIconShowImageAgain();
}

void TrayIconRestore()
{
    // Never added (no attempt was made), or already removed on the way out:
    // a late "TaskbarCreated" must not bring the icon back.
    if (app.trayData.cbSize == 0 || app.trayIconAdded == 0)
        return;
    NOTIFYICONDATAA record = app.trayData;
    Shell_NotifyIconA(NIM_ADD, &record);
}

void TrayIconShowBalloon(const char* text, DWORD icon)
{
    if (app.trayData.cbSize == 0 || app.trayIconAdded == 0)
        return;
    // A record of its own, long enough to carry the balloon's fields (the
    // second version), with NIF_INFO alone: the image and the tip stay, and
    // every other call keeps the first-version record.
    NOTIFYICONDATAA record;
    ZeroMemory(&record, sizeof record);
    record.cbSize = NOTIFYICONDATAA_V2_SIZE;
    record.hWnd = app.trayData.hWnd;
    record.uID = app.trayData.uID;
    record.uFlags = NIF_INFO;
    lstrcpynA(record.szInfo, text, sizeof record.szInfo);
    lstrcpynA(record.szInfoTitle, app.caption, sizeof record.szInfoTitle);
    record.dwInfoFlags = icon;
    record.uTimeout = 10000; // the shortest that Windows 2000 and XP allow
    Shell_NotifyIconA(NIM_MODIFY, &record);
}
