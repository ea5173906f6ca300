// The notification-area icon. Every store into trayData and the send
// that follows it happen under one lock, so that the capture thread's image
// changes and the GUI thread's changes never mix in one record: each call
// delivers its own image or tip.
#include "tray/tray_icon_win.h"
#include "app/app_state.h"
#include "tray/tray_image_win.h"

namespace {

// The first-version record: 88 bytes on 32-bit Windows, 104 on 64-bit.
const DWORD TRAY_RECORD_SIZE = NOTIFYICONDATAA_V1_SIZE;
const int TIP_LIMIT = 64;
const UINT FLAGS_WITHOUT_TIP = NIF_MESSAGE | NIF_ICON;

SRWLOCK trayLock = SRWLOCK_INIT;

struct TrayLockHolder {
    TrayLockHolder() { AcquireSRWLockExclusive(&trayLock); }
    ~TrayLockHolder() { ReleaseSRWLockExclusive(&trayLock); }
    TrayLockHolder(const TrayLockHolder&) = delete;
    TrayLockHolder& operator=(const TrayLockHolder&) = delete;
};

} // namespace

BOOL TrayIconAdd(HWND window, UINT id, UINT callbackMessage, HICON icon, const char* tip)
{
    TrayLockHolder hold;
    app.trayData.hWnd = window;
    app.trayData.cbSize = TRAY_RECORD_SIZE;
    app.trayData.hIcon = icon;
    app.trayData.uID = id;
    app.trayData.uFlags = FLAGS_WITHOUT_TIP;
    app.trayData.uCallbackMessage = callbackMessage;
    if (tip != nullptr) {
        app.trayData.uFlags = FLAGS_WITHOUT_TIP | NIF_TIP;
        lstrcpynA(app.trayData.szTip, tip, TIP_LIMIT);
    }
    return Shell_NotifyIconA(NIM_ADD, &app.trayData);
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

void TrayIconSetImage(UINT iconId)
{
    HICON icon = LoadTrayImage(iconId);
    // The record is copied under the lock and sent outside it: the send waits
    // for the shell, and a thread waiting in a send dispatches the messages
    // sent to its windows meanwhile, which may set the image again.
    NOTIFYICONDATAA record;
    {
        TrayLockHolder hold;
        app.trayData.hIcon = icon;
        record = app.trayData;
    }
    Shell_NotifyIconA(NIM_MODIFY, &record);
}

void TrayIconSetTip(const char* tip)
{
    TrayLockHolder hold;
    if (tip != nullptr) {
        app.trayData.uFlags |= NIF_TIP;
        lstrcpynA(app.trayData.szTip, tip, TIP_LIMIT);
    }
    Shell_NotifyIconA(NIM_MODIFY, &app.trayData);
}

void TrayIconRestore()
{
    TrayLockHolder hold;
    // Never added (no attempt was made), or already removed on the way out:
    // a late "TaskbarCreated" must not bring the icon back.
    if (app.trayData.cbSize == 0 || app.trayIconAdded == 0)
        return;
    Shell_NotifyIconA(NIM_ADD, &app.trayData);
}
