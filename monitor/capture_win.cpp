// Monitoring runs. Each run owns its capture thread, its stop flag, its
// capture handle and its log buffer, so that nothing of an earlier run that
// is slow to end can touch a later one.
#include "monitor/capture_win.h"
#include <atomic>
#include <cstring>
#include "adapters/capture_library_win.h"
#include "core/app_state.h"
#include "core/message_box_win.h"
#include "monitor/address_exchange.h"
#include "monitor/connection_log.h"
#include "monitor/log_file_win.h"
#include "monitor/packet_win.h"
#include "monitor/programs_win.h"
#include "monitor/read_steps.h"
#include "res/resource.h"

const char MSG_CAPTURE_STILL_RUNNING[] =
    "The capture library did not stop the previous monitor. Monitoring stays off.";
// A read blocked in the library notices the break within one read time-out;
// the bound only guards against a library that never returns.
const DWORD STOP_WAIT_MS = 5000;

namespace {

const char MSG_OPEN_FAILED[] = "A PCAP device cannot be opened.";
const char MSG_READ_FAILED[] = "The error occurred with the pcap_loop function.";
const char MSG_LOOKUP_FAILED[] = "Interface information is unacquirable.";

const int SNAPSHOT_LENGTH = 64;
const int PROMISCUOUS = 1;
const int READ_TIMEOUT_MS = 1000;
const int DLT_ETHERNET = 1;
// Frames taken per read: a driver buffer's worth. The lamp and the log are
// served once per read, not once per frame.
const int FRAMES_PER_READ = 1000;
// A device that failed is given this long before it is opened again: a
// driver restart or a wake from sleep loses it for a moment.
const DWORD REOPEN_DELAY_MS = 500;
// Room for a read's worth of lines: the log is written once per read, never
// in the middle of one.
const size_t LOG_BUFFER_SIZE = 256 * 1024;
static_assert(LOG_BUFFER_SIZE >= static_cast<size_t>(FRAMES_PER_READ) * PACKET_LINE_SIZE, "a read's lines must fit the log buffer");

struct CaptureRun {
    explicit CaptureRun(const OwnAddresses& own) : addresses(own) {}
    LONG references = 2;       // the GUI thread's and the capture thread's
    LPARAM number = 0;         // told apart from earlier runs' stop requests
    HWND window = nullptr;
    HANDLE thread = nullptr;
    HANDLE stopEvent = nullptr;  // cuts the wait before a reopen short
    bool automatic = false;
    bool announceOpen = false;
    std::atomic<int32_t> stopping{ 0 };
    std::atomic<int32_t> reopenRequested{ 0 };
    // A failed log write was posted and the GUI thread has not yet turned
    // logging off: nothing is logged meanwhile.
    std::atomic<int32_t> logHeld{ 0 };
    // The failure box while it is being made or shown, for a stop to close.
    std::atomic<HWND> box{ nullptr };
    SRWLOCK handleLock = SRWLOCK_INIT;  // the handle against a break from the GUI thread
    pcap_t* handle = nullptr;
    char deviceName[ADAPTER_TEXT_SIZE] = "";
    LogFile log = {};
    AddressExchange addresses;  // the GUI thread publishes, the reads take
    char logBuffer[LOG_BUFFER_SIZE];
};

// GUI thread only.
CaptureRun* currentRun = nullptr;
// The run a stop is waiting for: no run may start until it has ended.
CaptureRun* endingRun = nullptr;
// A run whose thread did not end within the stop's bound.
CaptureRun* strandedRun = nullptr;
LPARAM lastRunNumber = 0;

void Release(CaptureRun* run)
{
    if (InterlockedDecrement(&run->references) == 0) {
        if (run->thread != nullptr)
            CloseHandle(run->thread);
        if (run->stopEvent != nullptr)
            CloseHandle(run->stopEvent);
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

void BreakCurrentRead(CaptureRun* run)
{
    AcquireSRWLockShared(&run->handleLock);
    const CaptureLibrary* library = GetCaptureLibrary();
    if (run->handle != nullptr && library != nullptr)
        library->breakloop(run->handle);
    ReleaseSRWLockShared(&run->handleLock);
}

// A stop closes the run's failure box: the user has stopped, and a box
// about the ended run must not stay, nor appear afterwards. The flag is set
// before the box is looked at, and BoxBeingMade notes the box before it
// looks at the flag: either the stop sees the box, or the box the stop.
void BreakReads(CaptureRun* run)
{
    run->stopping.store(1);
    HWND box = run->box.load();
    if (box != nullptr)
        PostMessageA(box, WM_CLOSE, 0, 0);
    SetEvent(run->stopEvent);
    BreakCurrentRead(run);
}

// The run whose failure box this capture thread is about to show.
thread_local CaptureRun* boxOfRun = nullptr;

// Notes the failure box (a dialog window) as the system makes it, or
// refuses it when the run is stopping by then. Other windows the system
// makes for the thread (an input method's) pass.
LRESULT CALLBACK BoxBeingMade(int code, WPARAM wParam, LPARAM lParam)
{
    char className[8] = "";
    HWND window = reinterpret_cast<HWND>(wParam);
    if (code == HCBT_CREATEWND && boxOfRun != nullptr && GetClassNameA(window, className, sizeof className) > 0
        && lstrcmpA(className, "#32770") == 0) {
        boxOfRun->box.store(window);
        if (boxOfRun->stopping.load()) {
            boxOfRun->box.store(nullptr);
            return 1;
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// The chosen adapter's failure is shown on the capture thread, so the lamp
// and the tray keep working while the box is open; the stop request is
// posted, not sent: StopMonitoring waits for this thread. The box belongs to
// the main window, so making and closing it needs the GUI thread, which
// answers while a stop waits (WaitForRun). An automatic run says nothing
// and lets the connection check find another way.
void ReportCaptureFailure(CaptureRun* run, const char* text, CaptureEnd end)
{
    if (run->stopping.load())
        return;
    if (run->automatic) {
        PostMessageA(run->window, WM_CAPTURE_ENDED, end, run->number);
        return;
    }
    boxOfRun = run;
    HHOOK hook = SetWindowsHookExA(WH_CBT, BoxBeingMade, nullptr, GetCurrentThreadId());
    ShowAppMessage(run->window, text, MB_OK | MB_ICONERROR);
    if (hook != nullptr)
        UnhookWindowsHookEx(hook);
    run->box.store(nullptr);
    boxOfRun = nullptr;
    if (!run->stopping.load())
        PostMessageA(run->window, WM_COMMAND, CMD_MONITOR_STOP, run->number);
}

// Opens the run's device and checks it; null (the failure reported) when it
// cannot be read.
pcap_t* OpenDevice(CaptureRun* run, const CaptureLibrary* library)
{
    pcap_t* handle = library ? OpenLiveCapture(*library, run->deviceName, SNAPSHOT_LENGTH, PROMISCUOUS,
                                               READ_TIMEOUT_MS)
                             : nullptr;
    if (handle == nullptr) {
        ReportCaptureFailure(run, MSG_OPEN_FAILED, CAPTURE_OPEN_FAILED);
        return nullptr;
    }
    // The packet path reads Ethernet frames; a VPN's raw-IP adapter would
    // be logged as nonsense. The chosen adapter is captured as it always was.
    if (run->automatic && library->datalink != nullptr && library->datalink(handle) != DLT_ETHERNET) {
        library->close(handle);
        ReportCaptureFailure(run, MSG_OPEN_FAILED, CAPTURE_NOT_ETHERNET);
        return nullptr;
    }
    if (!PublishHandle(run, handle)) {
        library->close(handle);
        return nullptr;
    }
    if (run->announceOpen) {
        run->announceOpen = false;
        PostMessageA(run->window, WM_CAPTURE_OPENED, 0, run->number);
    }
    return handle;
}

void CloseDevice(CaptureRun* run, const CaptureLibrary* library, pcap_t* handle)
{
    WithdrawHandle(run);
    library->close(handle);
}

// The log cannot be written: logging waits until the GUI thread has turned
// it off, which it is told once per failure.
void ReportLogFailure(CaptureRun* run, LogBatch* log)
{
    log->Reset();
    if (run->logHeld.exchange(1) == 0
        && !PostMessageA(run->window, WM_LOG_FAILED, run->log.error, run->number))
        run->logHeld.store(0);
}

void ReadUntilStopped(CaptureRun* run, const CaptureLibrary* library, pcap_t* handle)
{
    LogBatch log(run->logBuffer, sizeof run->logBuffer, AppendLogFile, &run->log);
    PacketBatch batch = { &log, &run->stopping, &run->logHeld, 0, 0, 0, 0, nullptr, {}, ProgramsPortTraffic(), {} };
    // A failed read is given one reopen; a reopened device that fails at its
    // first read is lost.
    bool reopened = false;
    for (;;) {
        const OwnAddresses* own = run->addresses.Take();
        batch.ownIpv4 = own->ipv4;
        SetOwnIpv4(own->ipv4, &batch.own);
        batch.own.ipv6 = &own->ipv6;
        int result = library->dispatch(handle, FRAMES_PER_READ, OnPacket, reinterpret_cast<u_char*>(&batch));
        EndPacketBatch(&batch, run->window);
        if (log.failed())
            ReportLogFailure(run, &log);
        // Checked after every read: a library may report a break as a count.
        if (run->stopping.load())
            break;
        bool resumed = run->reopenRequested.exchange(0) != 0;
        ReadEnd end = result >= 0 ? ReadEnd::Frames : result == PCAP_ERROR_BREAK ? ReadEnd::Break : ReadEnd::Error;
        AfterRead next = NextAfterRead(end, resumed, reopened);
        if (next == AfterRead::ReadAgain) {
            reopened = false;
            continue;
        }
        if (next == AfterRead::ReportLost) {
            ReportCaptureFailure(run, MSG_READ_FAILED, CAPTURE_OPEN_FAILED);
            break;
        }
        CloseDevice(run, library, handle);
        handle = nullptr;
        if (next == AfterRead::ReopenAfterPause
            && WaitForSingleObject(run->stopEvent, REOPEN_DELAY_MS) == WAIT_OBJECT_0)
            return;
        handle = OpenDevice(run, library);
        if (handle == nullptr)
            return;
        reopened = next == AfterRead::ReopenAfterPause;
    }
    CloseDevice(run, library, handle);
}

void RunCapture(CaptureRun* run)
{
    const CaptureLibrary* library = GetCaptureLibrary();
    pcap_t* handle = OpenDevice(run, library);
    if (handle == nullptr)
        return;
    char errorText[PCAP_ERRBUF_SIZE] = "";
    bpf_u_int32 network = 0;
    bpf_u_int32 mask = 0;
    if (library->lookupnet(run->deviceName, &network, &mask, errorText) < 0) {
        ReportCaptureFailure(run, MSG_LOOKUP_FAILED, CAPTURE_OPEN_FAILED);
        CloseDevice(run, library, handle);
        return;
    }
    ReadUntilStopped(run, library, handle);
}

DWORD WINAPI CaptureThreadProc(LPVOID param)
{
    CaptureRun* run = static_cast<CaptureRun*>(param);
    RunCapture(run);
    Release(run);
    return 0;
}

// Waits, up to wait ms, for a run's thread; true when it has ended. A
// thread making or closing its failure box waits for this thread to answer
// (the box's owner is disabled and enabled again): sent messages are
// handled meanwhile, posted ones stay for the message loop.
bool WaitForRun(CaptureRun* run, DWORD wait)
{
    DWORD start = GetTickCount();
    for (;;) {
        MSG message;
        PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        DWORD spent = GetTickCount() - start;
        DWORD result = MsgWaitForMultipleObjects(1, &run->thread, FALSE, spent < wait ? wait - spent : 0,
                                                 QS_SENDMESSAGE);
        if (result == WAIT_OBJECT_0)
            return true;
        if (result != WAIT_OBJECT_0 + 1)
            return false;
    }
}

} // namespace

bool StrandedRunLives(DWORD wait)
{
    if (strandedRun == nullptr)
        return false;
    if (WaitForSingleObject(strandedRun->thread, wait) != WAIT_OBJECT_0)
        return true;
    Release(strandedRun);
    strandedRun = nullptr;
    return false;
}

bool StartRun(const char* deviceName, const OwnAddresses& own, bool automatic, bool announceOpen)
{
    if (currentRun != nullptr || endingRun != nullptr || StrandedRunLives(0))
        return false;
    CaptureRun* run = new CaptureRun(own);
    run->number = ++lastRunNumber;
    run->window = app.mainWindow;
    run->automatic = automatic;
    run->announceOpen = announceOpen;
    run->stopEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    // Copied once: the run never reads the table or the settings' paths again.
    lstrcpynA(run->deviceName, deviceName, sizeof run->deviceName);
    InitLogFile(&run->log, app.logPath);
    run->thread = run->stopEvent != nullptr
                      ? CreateThread(nullptr, 0, CaptureThreadProc, run, CREATE_SUSPENDED, nullptr)
                      : nullptr;
    if (run->thread == nullptr) {
        if (run->stopEvent != nullptr)
            CloseHandle(run->stopEvent);
        delete run;
        return false;
    }
    currentRun = run;
    return true;
}

void LetRunRead()
{
    if (currentRun != nullptr)
        ResumeThread(currentRun->thread);
}

void EndRun()
{
    CaptureRun* run = currentRun;
    if (run == nullptr)
        return;
    currentRun = nullptr;
    endingRun = run;
    // A run never let go still waits to begin: it must begin to end.
    ResumeThread(run->thread);
    BreakReads(run);
    bool ended = WaitForRun(run, STOP_WAIT_MS);
    endingRun = nullptr;
    if (ended) {
        Release(run);
    } else {
        // Kept until it ends: no run starts while it lives (and so there
        // is never more than one stranded run).
        strandedRun = run;
    }
}

const char* RunningDevice()
{
    return currentRun != nullptr ? currentRun->deviceName : nullptr;
}

LPARAM RunningNumber()
{
    return currentRun != nullptr ? currentRun->number : 0;
}

void PublishRunAddresses(const OwnAddresses& own)
{
    if (currentRun != nullptr)
        currentRun->addresses.Publish(own);
}

void ReopenRun()
{
    if (currentRun == nullptr)
        return;
    currentRun->reopenRequested.store(1);
    BreakCurrentRead(currentRun);
}

bool IsStopRequestCurrent(LPARAM runNumber)
{
    return runNumber == 0 || (currentRun != nullptr && currentRun->number == runNumber);
}


void LogFailureHandled()
{
    if (currentRun != nullptr)
        currentRun->logHeld.store(0);
}
