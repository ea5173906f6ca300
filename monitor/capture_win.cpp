#include "monitor/capture_win.h"
#include "adapters/capture_library_win.h"
#include "app/app_state.h"
#include "app/message_box_win.h"
#include "monitor/lamp_win.h"
#include "monitor/packet_win.h"
#include "res/resource.h"
#include "tray/tray_icon_win.h"

namespace {

const int SNAPSHOT_LENGTH = 64;
const int PROMISCUOUS = 1;
const int READ_TIMEOUT_MS = 1000;
// A loop blocked in a read notices the break within one read time-out; the
// bound only guards against a library that never returns.
const DWORD STOP_WAIT_MS = 5000;

// Guards the capture handle between the capture thread, which opens and
// closes it, and StopMonitoring, which breaks its loop.
SRWLOCK handleLock = SRWLOCK_INIT;

// Publishes the opened handle unless a stop came first; then the loop must
// not start at all.
bool PublishHandle(pcap_t* handle)
{
    AcquireSRWLockExclusive(&handleLock);
    bool keep = app.captureStopping == 0;
    if (keep)
        app.captureHandle = handle;
    ReleaseSRWLockExclusive(&handleLock);
    return keep;
}

void WithdrawHandle()
{
    AcquireSRWLockExclusive(&handleLock);
    app.captureHandle = nullptr;
    ReleaseSRWLockExclusive(&handleLock);
}

// Shown on the capture thread, so the lamp and the tray keep working while
// the box is open. The stop request is posted, not sent: StopMonitoring waits
// for this thread, which must not be waiting for the GUI thread meanwhile.
void ReportCaptureFailure(const char* text)
{
    if (app.captureStopping)
        return;
    ShowAppMessage(app.mainWindow, text, MB_OK | MB_ICONERROR);
    if (!app.captureStopping)
        PostMessageA(app.mainWindow, WM_COMMAND, CMD_MONITOR_STOP, 0);
}

} // namespace

int StartMonitoring()
{
    int32_t index = app.selectedIndex;
    if (index == -1)
        return 0;
    if (app.monitoring)
        return 0;
    if (index < 0 || index >= app.adapters.count)
        return 0; // never read a row outside the table

    app.captureStopping = 0;
    DWORD threadId = 0;
    HANDLE thread = CreateThread(nullptr, 0, CaptureThreadProc, nullptr, 0, &threadId);
    if (thread == nullptr)
        return 0;
    app.captureThread = thread;
    app.captureThreadId = threadId;
    TrayIconSetImage(ICON_IDLE);
    app.monitoring = 1;
    return 0;
}

int StopMonitoring()
{
    app.captureStopping = 1;
    AcquireSRWLockShared(&handleLock);
    pcap_t* handle = app.captureHandle;
    const CaptureLibrary* library = GetCaptureLibrary();
    if (handle != nullptr && library != nullptr)
        library->breakloop(handle);
    ReleaseSRWLockShared(&handleLock);

    if (app.captureThread != nullptr) {
        WaitForSingleObject(app.captureThread, STOP_WAIT_MS);
        CloseHandle(app.captureThread);
        app.captureThread = nullptr;
        app.captureThreadId = 0;
    }
    ArmLampTimer(app.mainWindow, 0);
    TrayIconSetImage(ICON_STOPPED);
    app.monitoring = 0;
    app.logging = 0;
    return 0;
}

DWORD WINAPI CaptureThreadProc(LPVOID)
{
    // The device name is copied once: the table is not rebuilt while a run
    // lasts, but the copy keeps this thread independent of later builds.
    char deviceName[ADAPTER_TEXT_SIZE] = "";
    int32_t index = app.selectedIndex;
    if (index >= 0 && index < app.adapters.count)
        lstrcpynA(deviceName, app.adapters.deviceName[index], sizeof deviceName);
    RunCapture(deviceName);
    return 0;
}

int RunCapture(const char* deviceName)
{
    const CaptureLibrary* library = GetCaptureLibrary();
    char errorText[PCAP_ERRBUF_SIZE] = "";
    pcap_t* handle = library ? library->open_live(deviceName, SNAPSHOT_LENGTH, PROMISCUOUS,
                                                  READ_TIMEOUT_MS, errorText)
                             : nullptr;
    if (handle == nullptr) {
        ReportCaptureFailure("A PCAP device cannot be opened.");
        return 0;
    }
    if (!PublishHandle(handle)) {
        library->close(handle);
        return 0;
    }

    bpf_u_int32 network = 0;
    bpf_u_int32 mask = 0;
    if (library->lookupnet(deviceName, &network, &mask, errorText) < 0) {
        ReportCaptureFailure("Interface information is unacquirable.");
    } else if (library->loop(handle, -1, OnPacket, nullptr) < 0 && !app.captureStopping) {
        ReportCaptureFailure("The error occurred with the pcap_loop function.");
    }

    WithdrawHandle();
    library->close(handle);
    return 0;
}
