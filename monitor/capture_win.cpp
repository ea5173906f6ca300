// Monitoring runs. Each run owns its capture thread, its stop flag, its
// capture handle and its log buffer, so that nothing of an earlier run that
// is slow to end can touch a later one.
#include "monitor/capture_win.h"
#include <atomic>
#include <cstring>
#include "adapters/capture_library_win.h"
#include "core/app_state.h"
#include "core/message_box_win.h"
#include "monitor/connection_log.h"
#include "monitor/lamp_win.h"
#include "monitor/log_file_win.h"
#include "monitor/own_ipv6_win.h"
#include "monitor/packet_win.h"
#include "monitor/rates_win.h"
#include "res/resource.h"

const char MSG_CAPTURE_STILL_RUNNING[] =
    "The capture library did not stop the previous monitor. Monitoring stays off.";

namespace {

const int SNAPSHOT_LENGTH = 64;
const int PROMISCUOUS = 1;
const int READ_TIMEOUT_MS = 1000;
// Frames taken per read: a driver buffer's worth. The lamp and the log are
// served once per read, not once per frame.
const int FRAMES_PER_READ = 1000;
// A read blocked in the library notices the break within one read time-out;
// the bound only guards against a library that never returns.
const DWORD STOP_WAIT_MS = 5000;
// Room for a read's worth of lines (at most about 160 bytes each).
const size_t LOG_BUFFER_SIZE = 64 * 1024;

struct CaptureRun {
    LONG references;           // the GUI thread's and the capture thread's
    LPARAM number;             // told apart from earlier runs' stop requests
    HWND window;
    HANDLE thread;
    std::atomic<int32_t> stopping;
    SRWLOCK handleLock;        // the handle against a break from the GUI thread
    pcap_t* handle;
    char deviceName[ADAPTER_TEXT_SIZE];
    char logPath[PATH_FIELD_SIZE];
    OwnIpv6Addresses ownIpv6;  // read afresh at every start: they change
    char logBuffer[LOG_BUFFER_SIZE];
};

// GUI thread only.
CaptureRun* currentRun = nullptr;
// A run whose thread did not end within the stop's bound.
CaptureRun* strandedRun = nullptr;
LPARAM lastRunNumber = 0;

void Release(CaptureRun* run)
{
    if (InterlockedDecrement(&run->references) == 0) {
        if (run->thread != nullptr)
            CloseHandle(run->thread);
        delete run;
    }
}

// Publishes the opened handle unless a stop came first; then the reads must
// not start at all.
bool PublishHandle(CaptureRun* run, pcap_t* handle)
{
    AcquireSRWLockExclusive(&run->handleLock);
    bool keep = run->stopping.load() == 0;
    if (keep)
        run->handle = handle;
    ReleaseSRWLockExclusive(&run->handleLock);
    return keep;
}

void WithdrawHandle(CaptureRun* run)
{
    AcquireSRWLockExclusive(&run->handleLock);
    run->handle = nullptr;
    ReleaseSRWLockExclusive(&run->handleLock);
}

void BreakReads(CaptureRun* run)
{
    run->stopping.store(1);
    AcquireSRWLockShared(&run->handleLock);
    const CaptureLibrary* library = GetCaptureLibrary();
    if (run->handle != nullptr && library != nullptr)
        library->breakloop(run->handle);
    ReleaseSRWLockShared(&run->handleLock);
}

// Shown on the capture thread, so the lamp and the tray keep working while
// the box is open. The stop request is posted, not sent: StopMonitoring waits
// for this thread, which must not be waiting for the GUI thread meanwhile.
void ReportCaptureFailure(CaptureRun* run, const char* text)
{
    if (run->stopping.load())
        return;
    ShowAppMessage(run->window, text, MB_OK | MB_ICONERROR);
    if (!run->stopping.load())
        PostMessageA(run->window, WM_COMMAND, CMD_MONITOR_STOP, run->number);
}

void ReadUntilStopped(CaptureRun* run, const CaptureLibrary* library, pcap_t* handle)
{
    LogBatch log(run->logBuffer, sizeof run->logBuffer, AppendLogFile, run->logPath);
    PacketBatch batch = { &log, &run->stopping, &run->ownIpv6, 0, 0, 0, 0 };
    for (;;) {
        int result = library->dispatch(handle, FRAMES_PER_READ, OnPacket,
                                       reinterpret_cast<u_char*>(&batch));
        EndPacketBatch(&batch, run->window);
        // Checked after every read: a library may report a break as a count.
        if (run->stopping.load() || result == PCAP_ERROR_BREAK)
            return;
        if (result < 0) {
            ReportCaptureFailure(run, "The error occurred with the pcap_loop function.");
            return;
        }
    }
}

void RunCapture(CaptureRun* run)
{
    const CaptureLibrary* library = GetCaptureLibrary();
    pcap_t* handle = library ? OpenLiveCapture(*library, run->deviceName, SNAPSHOT_LENGTH,
                                               PROMISCUOUS, READ_TIMEOUT_MS)
                             : nullptr;
    if (handle == nullptr) {
        ReportCaptureFailure(run, "A PCAP device cannot be opened.");
        return;
    }
    if (!PublishHandle(run, handle)) {
        library->close(handle);
        return;
    }

    char errorText[PCAP_ERRBUF_SIZE] = "";
    bpf_u_int32 network = 0;
    bpf_u_int32 mask = 0;
    if (library->lookupnet(run->deviceName, &network, &mask, errorText) < 0)
        ReportCaptureFailure(run, "Interface information is unacquirable.");
    else
        ReadUntilStopped(run, library, handle);

    WithdrawHandle(run);
    library->close(handle);
}

// Waits, bounded, for a stranded run's thread; true when it has ended.
bool StrandedRunEnded()
{
    if (strandedRun == nullptr)
        return true;
    if (WaitForSingleObject(strandedRun->thread, STOP_WAIT_MS) != WAIT_OBJECT_0)
        return false;
    Release(strandedRun);
    strandedRun = nullptr;
    return true;
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
    if (!StrandedRunEnded()) {
        ShowAppMessage(app.mainWindow, MSG_CAPTURE_STILL_RUNNING, MB_OK | MB_ICONERROR);
        return 0;
    }

    CaptureRun* run = new CaptureRun;
    run->references = 2;
    run->number = ++lastRunNumber;
    run->window = app.mainWindow;
    run->stopping.store(0);
    InitializeSRWLock(&run->handleLock);
    run->handle = nullptr;
    // Copied once: the run never reads the table or the settings' paths again.
    lstrcpynA(run->deviceName, app.adapters.deviceName[index], sizeof run->deviceName);
    lstrcpynA(run->logPath, app.logPath, sizeof run->logPath);
    CollectOwnIpv6Addresses(run->deviceName, &run->ownIpv6);
    // Suspended until the lamp is ready for its first report.
    run->thread = CreateThread(nullptr, 0, CaptureThreadProc, run, CREATE_SUSPENDED, nullptr);
    if (run->thread == nullptr) {
        delete run;
        return 0;
    }
    currentRun = run;
    LampStart();
    RatesStart(app.mainWindow);
    app.monitoring = 1;
    ResumeThread(run->thread);
    return 0;
}

int StopMonitoring()
{
    CaptureRun* run = currentRun;
    currentRun = nullptr;
    if (run != nullptr) {
        BreakReads(run);
        if (WaitForSingleObject(run->thread, STOP_WAIT_MS) == WAIT_OBJECT_0) {
            Release(run);
        } else {
            // Kept until it ends: no run starts while it lives (and so there
            // is never more than one stranded run).
            strandedRun = run;
        }
    }
    LampStop(app.mainWindow);
    RatesStop(app.mainWindow);
    app.monitoring = 0;
    app.logging = 0;
    return 0;
}

bool IsStopRequestCurrent(LPARAM runNumber)
{
    return runNumber == 0 || (currentRun != nullptr && currentRun->number == runNumber);
}

DWORD WINAPI CaptureThreadProc(LPVOID param)
{
    CaptureRun* run = static_cast<CaptureRun*>(param);
    RunCapture(run);
    Release(run);
    return 0;
}
