#include "monitor/monitoring_win.h"
#include <winsock2.h>
#include <ws2tcpip.h>
#include <iphlpapi.h>
#include <netioapi.h>
#include <atomic>
#include <cstdio>
#include <cstring>
#include "adapters/adapter_rows.h"
#include "adapters/network_snapshot_win.h"
#include "adapters/system_library_win.h"
#include "core/app_state.h"
#include "core/message_box_win.h"
#include "monitor/capture_win.h"
#include "monitor/lamp_win.h"
#include "monitor/log_file_win.h"
#include "monitor/monitor_steps.h"
#include "monitor/rates_win.h"
#include "res/resource.h"
#include "tray/tray_icon_win.h"

namespace {

const UINT FOLLOW_PERIOD_MS = 2000;
const char DEVICE_PREFIX[] = "\\Device\\NPF_";
const char NO_CONNECTION[] = "No connection";
const char LOG_CANNOT_WRITE[] = "The connection log cannot be written: ";
const char LOG_STOPPED[] = ". Log preservation has stopped.";
const char LOG_SPACE_LOW[] = "The disk holding the connection log is almost full. Log preservation has stopped.";

// GUI thread only.
Monitoring state = Monitoring::Off;
bool changing = false;
// Setup stopped monitoring: its start keeps the history.
bool stoppedForSetup = false;
// Automatic mode: the table row of the connection the run captures, or -1.
int32_t runIndex = -1;
// Devices whose frames are not Ethernet: that never changes.
FailedDevices notEthernet;
// Devices that could not be opened: passed over for a while, then tried again.
FailedDevices failedOpen;
RouteSnapshot lastRoutes;
// One reopen for the two resume events of one wake.
bool resumeHandled = false;

// Events that came while a change was under way (from a message sent to the
// window during a wait for a run), handled in order once it is over. One of
// each is enough: the same event twice asks for the same look.
struct KeptEvent {
    MonitorEvent event;
    WPARAM why;
    LPARAM run;
};
const int KEPT_MAX = 8;
KeptEvent kept[KEPT_MAX];
int keptCount = 0;

// The system's change notices arrive on pool threads: they only ask the GUI
// thread to look, at most one request outstanding.
std::atomic<int32_t> changePending{ 0 };
std::atomic<HWND> noticeWindow{ nullptr };

using ChangeCallback = VOID(WINAPI*)(PVOID, PVOID, MIB_NOTIFICATION_TYPE);
using NotifyFn = DWORD WINAPI(ADDRESS_FAMILY, ChangeCallback, PVOID, BOOLEAN, HANDLE*);
using CancelFn = DWORD WINAPI(HANDLE);
const char* const NOTICES[] = { "NotifyIpInterfaceChange", "NotifyRouteChange2",
                                "NotifyUnicastIpAddressChange" };
const int NOTICE_COUNT = 3;
HANDLE noticeHandles[NOTICE_COUNT] = {};

VOID WINAPI OnSystemChange(PVOID, PVOID, MIB_NOTIFICATION_TYPE)
{
    HWND window = noticeWindow.load();
    if (window != nullptr && changePending.exchange(1) == 0 && !PostMessageA(window, WM_NETWORK_CHANGED, 0, 0))
        changePending.store(0);
}

// Bound at run time: the notices came with Vista.
void RegisterNotices(HWND window)
{
    changePending = 0;
    noticeWindow = window;
    for (int i = 0; i < NOTICE_COUNT; ++i) {
        NotifyFn* notify = BindEntry<NotifyFn>(IpHelperLibrary(), NOTICES[i]);
        if (notify == nullptr || notify(AF_UNSPEC, OnSystemChange, nullptr, FALSE, &noticeHandles[i]) != NO_ERROR)
            noticeHandles[i] = nullptr;
    }
}

void CancelNotices()
{
    CancelFn* cancel = BindEntry<CancelFn>(IpHelperLibrary(), "CancelMibChangeNotify2");
    for (HANDLE& handle : noticeHandles) {
        if (handle != nullptr && cancel != nullptr)
            cancel(handle);
        handle = nullptr;
    }
    noticeWindow = nullptr;
}

// The capture device of an adapter: the table's when it lists it, else the
// name the capture driver gives every adapter's GUID.
void DeviceOf(const char* guid, char* device, size_t size)
{
    int index = FindAdapterByGuid(&app.adapters, guid);
    if (index >= 0)
        lstrcpynA(device, app.adapters.deviceName[index], static_cast<int>(size));
    else
        std::snprintf(device, size, "%s%s", DEVICE_PREFIX, guid);
}

bool Usable(const char* guid, void*)
{
    char device[ADAPTER_TEXT_SIZE];
    DeviceOf(guid, device, sizeof device);
    return !HasFailedDevice(notEthernet, device) && FailedDeviceDue(failedOpen, device, LampClockMs());
}

// What a run is started on, found while the facts are gathered.
struct Target {
    NetworkSnapshot snapshot;
    int route = -1;          // Automatic mode: the chosen route
    char device[ADAPTER_TEXT_SIZE] = "";
};

// Automatic mode: the connection in use, from a fresh look at the system.
void LookForConnection(MonitorFacts* f, Target* target)
{
    f->answered = target->snapshot.Take();
    if (!f->answered)
        return;
    // Another network: every device gets its chance again.
    if (!SameDefaultRoutes(target->snapshot.Routes(), lastRoutes)) {
        lastRoutes = target->snapshot.Routes();
        failedOpen.count = 0;
    }
    target->route = ChooseConnection(target->snapshot.Routes(), Usable, nullptr);
    f->target = target->route >= 0;
    if (f->target) {
        DeviceOf(target->snapshot.Routes().route[target->route].guid, target->device, sizeof target->device);
        f->retry = HasFailedDevice(failedOpen, target->device);
    }
}

// nested: the event came while a change is under way; only that counts.
MonitorFacts Gather(MonitorEvent event, bool nested, Target* target, WPARAM why = 0)
{
    MonitorFacts f;
    std::memset(&f, 0, sizeof f);
    f.changing = nested;
    f.spaceLow = event == MonitorEvent::LogFailed && why == LOG_ERROR_SPACE_LOW;
    f.automatic = app.CardAuto == 1;
    f.afterSetup = stoppedForSetup;
    const char* running = RunningDevice();
    f.runLives = running != nullptr;
    if (nested || event == MonitorEvent::Stop || event == MonitorEvent::RunOpened
        || event == MonitorEvent::LogFailed)
        return f;
    bool looks = event == MonitorEvent::Look || event == MonitorEvent::Resume || event == MonitorEvent::RunFailed;
    if (event == MonitorEvent::Start && !f.automatic) {
        int32_t index = app.selectedIndex;
        f.target = index >= 0 && index < app.adapters.count; // never read a row outside the table
        if (f.target)
            lstrcpynA(target->device, app.adapters.deviceName[index], sizeof target->device);
        f.strandedRun = f.target && StrandedRunLives(STOP_WAIT_MS);
    } else if (f.automatic && (looks || event == MonitorEvent::Start)) {
        LookForConnection(&f, target);
        f.strandedRun = StrandedRunLives(0);
    } else if (looks && f.runLives) {
        // The chosen adapter needs no route: only its addresses.
        f.answered = target->snapshot.TakeAdapters();
    }
    f.targetRunning = f.target && running != nullptr && std::strcmp(running, target->device) == 0;
    return f;
}

// A new DHCP lease or temporary IPv6 address counts as the run's own from
// the next read on; an adapter the snapshot lacks keeps what the run has.
void RenewRunAddresses(const NetworkSnapshot& snapshot)
{
    const char* running = RunningDevice();
    OwnAddresses own;
    if (running != nullptr && snapshot.FindAdapter(running, nullptr, 0, &own))
        PublishRunAddresses(own);
}

// The own addresses a run on the chosen table entry starts with: the table's
// IPv4 address, and the system's IPv6 addresses where it knows the adapter.
bool StartChosenRun(int32_t index)
{
    OwnAddresses own;
    std::memset(&own, 0, sizeof own);
    NetworkSnapshot snapshot;
    if (snapshot.TakeAdapters())
        snapshot.FindAdapter(app.adapters.deviceName[index], nullptr, 0, &own);
    lstrcpynA(own.ipv4, app.adapters.ipv4Address[index], sizeof own.ipv4);
    return StartRun(app.adapters.deviceName[index], own, false);
}

// Automatic mode's run on the connection in use; the tip and the graph name
// it from now on, also when the table does not list it.
bool StartAutomaticRun(const Target& target, bool quiet)
{
    OwnAddresses own;
    std::memset(&own, 0, sizeof own);
    char name[ADAPTER_TEXT_SIZE] = "";
    target.snapshot.FindAdapter(target.device, name, sizeof name, &own);
    int index = FindAdapterByGuid(&app.adapters, target.snapshot.Routes().route[target.route].guid);
    if (index >= 0) {
        lstrcpynA(name, app.adapters.connectionName[index], sizeof name);
        if (own.ipv4[0] == '\0')
            lstrcpynA(own.ipv4, app.adapters.ipv4Address[index], sizeof own.ipv4);
    }
    if (!StartRun(target.device, own, true, quiet))
        return false;
    if (name[0] != '\0')
        lstrcpynA(app.CardName, name, sizeof app.CardName);
    runIndex = index;
    return true;
}

const char* TipText(TipShown tip)
{
    switch (tip) {
    case TipShown::Name:
        return ConnectionName() != nullptr ? ConnectionName() : PlainTip();
    case TipShown::NoConnection:
        return NO_CONNECTION;
    default:
        return PlainTip();
    }
}

// Everything the user sees of monitoring, set once and together.
void Show(HWND window, const MonitorStep& step)
{
    Monitoring before = state;
    state = step.next;
    app.monitoring = state != Monitoring::Off ? 1 : 0;
    if (state == Monitoring::Off)
        app.logging = 0;
    // Automatic mode selects the row of the connection captured, none while
    // there is none.
    if (app.CardAuto == 1 && state != Monitoring::Off)
        app.selectedIndex = state == Monitoring::Capturing ? runIndex : -1;
    if (before == Monitoring::Off && state != Monitoring::Off) {
        SetTimer(window, FOLLOW_TIMER_ID, FOLLOW_PERIOD_MS, nullptr);
        RegisterNotices(window);
    } else if (before != Monitoring::Off && state == Monitoring::Off) {
        KillTimer(window, FOLLOW_TIMER_ID);
        CancelNotices();
    }
    if (step.lamp == LampShown::Idle)
        LampStart();
    else if (step.lamp == LampShown::Stopped)
        LampStop(window);
    switch (step.tick) {
    case RateTick::Rates:
        RatesStart(window, TipText(TipShown::Name));
        break;
    case RateTick::Quiet:
        RatesQuiet(window);
        break;
    case RateTick::Off:
        RatesStop(window);
        break;
    case RateTick::Keep:
        break;
    }
    if (step.tip != TipShown::Keep)
        RatesShowTip(TipText(step.tip));
}

// Why logging stopped by itself: the system's text of the failure without
// its ".\r\n", cut to leave room for the sentences around it.
void ShowLogBalloon(LogBalloon balloon, DWORD error)
{
    if (balloon == LogBalloon::SpaceLow) {
        TrayIconShowBalloon(LOG_SPACE_LOW, NIIF_WARNING);
        return;
    }
    char reason[1024] = "";
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
                                  reason, sizeof reason, nullptr);
    while (length > 0 && (reason[length - 1] == '\n' || reason[length - 1] == '\r' || reason[length - 1] == ' '))
        --length;
    if (length > 0 && reason[length - 1] == '.')
        --length;
    reason[length] = '\0';
    if (length == 0)
        std::snprintf(reason, sizeof reason, "error %lu", static_cast<unsigned long>(error));
    char text[sizeof(NOTIFYICONDATAA::szInfo)];
    size_t room = sizeof text - 1 - (sizeof LOG_CANNOT_WRITE - 1) - (sizeof LOG_STOPPED - 1);
    std::snprintf(text, sizeof text, "%s%.*s%s", LOG_CANNOT_WRITE, static_cast<int>(TipBytesThatFit(reason, room)),
                  reason, LOG_STOPPED);
    TrayIconShowBalloon(text, NIIF_WARNING);
}

// Carries one event's step out, in the order of its fields. Returns whether
// the user must be told that an earlier run still blocks the start.
bool Carry(HWND window, MonitorEvent event, WPARAM why = 0)
{
    Target target;
    MonitorFacts facts = Gather(event, false, &target, why);
    MonitorStep step = NextMonitorStep(state, event, facts);
    if (step.beginHistory)
        RatesBeginHistory();
    if (step.endRun)
        EndRun();
    if (step.reopen)
        ReopenRun();
    if (step.renewAddresses)
        RenewRunAddresses(target.snapshot);
    bool started = false;
    if (step.startRun) {
        started = facts.automatic ? StartAutomaticRun(target, step.next != Monitoring::Capturing)
                                  : StartChosenRun(app.selectedIndex);
        if (!started)
            step = NextMonitorStep(state, MonitorEvent::StartFailed, facts);
    }
    Show(window, step);
    if (step.logOff) {
        app.logging = 0;
        // Off before the run hears of it: it may log again once the user
        // turns logging on.
        LogFailureHandled();
        ShowLogBalloon(step.balloon, static_cast<DWORD>(why));
    }
    // The lamp is ready for the run's first report.
    if (started)
        LetRunRead();
    return step.showStillRunning;
}

void Keep(MonitorEvent event, WPARAM why, LPARAM run)
{
    for (int i = 0; i < keptCount; ++i)
        if (kept[i].event == event && kept[i].why == why && kept[i].run == run)
            return;
    if (keptCount < KEPT_MAX)
        kept[keptCount++] = { event, why, run };
}

// The bookkeeping of an event, done when it is handled (not when it is
// kept). False when it has nothing to say: a run's news about a run that
// has ended meanwhile.
bool Prepare(MonitorEvent event, WPARAM why, LPARAM run)
{
    const char* running = RunningDevice();
    switch (event) {
    case MonitorEvent::Start:
        if (state != Monitoring::Off)
            return true;
        // A fresh start gives every device its chance.
        lastRoutes.count = 0;
        failedOpen.count = 0;
        if (app.CardAuto == 1)
            app.cardMissing = 0;
        return true;
    case MonitorEvent::Resume:
        failedOpen.count = 0;
        return true;
    case MonitorEvent::RunFailed:
    case MonitorEvent::RunOpened:
    case MonitorEvent::LogFailed:
        if (running == nullptr || RunningNumber() != run)
            return false;
        if (event == MonitorEvent::LogFailed)
            return true;
        if (event == MonitorEvent::RunOpened)
            ForgetFailedDevice(&failedOpen, running);
        else if (why == CAPTURE_NOT_ETHERNET)
            NoteFailedDevice(&notEthernet, running, 0);
        else
            NoteFailedDevice(&failedOpen, running, LampClockMs());
        return true;
    default:
        return true;
    }
}

void Handle(MonitorEvent event, WPARAM why = 0, LPARAM run = 0)
{
    HWND window = app.mainWindow;
    if (changing) {
        MonitorFacts facts = Gather(event, true, nullptr);
        if (NextMonitorStep(state, event, facts).keep)
            Keep(event, why, run);
        return;
    }
    changing = true;
    bool stillRunning = false;
    if (Prepare(event, why, run))
        stillRunning = Carry(window, event, why);
    // What came meanwhile, in order; it may keep more.
    for (int i = 0; i < keptCount; ++i) {
        KeptEvent next = kept[i];
        if (Prepare(next.event, next.why, next.run))
            stillRunning = Carry(window, next.event, next.why) || stillRunning;
    }
    keptCount = 0;
    changing = false;
    // A box waits in a loop of its own: shown once no change is under way.
    if (stillRunning)
        ShowAppMessage(window, MSG_CAPTURE_STILL_RUNNING, MB_OK | MB_ICONERROR);
}

} // namespace

void StartMonitoring()
{
    Handle(MonitorEvent::Start);
    stoppedForSetup = stoppedForSetup && state == Monitoring::Off;
}

void StopMonitoring()
{
    Handle(MonitorEvent::Stop);
}

void StopMonitoringForSetup()
{
    StopMonitoring();
    stoppedForSetup = true;
}

void SetupEnded()
{
    stoppedForSetup = false;
}

bool MonitoringChanging()
{
    return changing;
}

const char* ConnectionName()
{
    // Automatic mode names the connection in use, which the table may not
    // list (an adapter that came after Monitor start).
    if (state != Monitoring::Off && app.CardAuto == 1)
        return state == Monitoring::NoConnection ? nullptr : app.CardName;
    return app.selectedIndex < 0 ? nullptr : app.CardName;
}

const char* PlainTip()
{
    const char* name = ConnectionName();
    if (name != nullptr)
        return name;
    return state != Monitoring::Off && app.CardAuto == 1 ? NO_CONNECTION : "NetGlow";
}

LRESULT OnFollowTimer(HWND)
{
    Handle(MonitorEvent::Look);
    return 0;
}

LRESULT OnNetworkChanged(HWND)
{
    // Cleared first, so that a change after this point asks again.
    changePending = 0;
    Handle(MonitorEvent::Look);
    return 0;
}

LRESULT OnCaptureEnded(HWND, WPARAM why, LPARAM runNumber)
{
    Handle(MonitorEvent::RunFailed, why, runNumber);
    return 0;
}

LRESULT OnLogFailed(HWND, WPARAM error, LPARAM runNumber)
{
    Handle(MonitorEvent::LogFailed, error, runNumber);
    return 0;
}

LRESULT OnCaptureOpened(HWND, LPARAM runNumber)
{
    Handle(MonitorEvent::RunOpened, 0, runNumber);
    return 0;
}

LRESULT OnPowerBroadcast(HWND, WPARAM event)
{
    if (event == PBT_APMSUSPEND) {
        resumeHandled = false;
    } else if ((event == PBT_APMRESUMEAUTOMATIC || event == PBT_APMRESUMESUSPEND) && !resumeHandled) {
        // Windows sends both after a wake by the user; the first reopens.
        resumeHandled = true;
        Handle(MonitorEvent::Resume);
    }
    return TRUE;
}
