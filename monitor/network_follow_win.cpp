#include "monitor/network_follow_win.h"
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
#include "monitor/capture_win.h"
#include "monitor/lamp_win.h"
#include "monitor/rates_win.h"
#include "res/resource.h"
#include "tray/tray_icon_win.h"

namespace {

const UINT FOLLOW_PERIOD_MS = 2000;
// Devices remembered as unusable; a machine has few adapters.
const int DEVICE_LIST_MAX = 16;
const char DEVICE_PREFIX[] = "\\Device\\NPF_";

struct DeviceList {
    int count;
    char name[DEVICE_LIST_MAX][ADAPTER_TEXT_SIZE];

    bool Has(const char* device) const
    {
        for (int i = 0; i < count; ++i)
            if (std::strcmp(name[i], device) == 0)
                return true;
        return false;
    }
    void Add(const char* device)
    {
        if (Has(device))
            return;
        // Full: the oldest goes, the list only spares the device some opens.
        if (count == DEVICE_LIST_MAX) {
            std::memmove(name[0], name[1], sizeof name[0] * (DEVICE_LIST_MAX - 1));
            --count;
        }
        lstrcpynA(name[count++], device, ADAPTER_TEXT_SIZE);
    }
};

// GUI thread only.
// Devices whose frames are not Ethernet: that never changes.
DeviceList notEthernet;
// Devices that could not be opened: tried again once the routes change or
// the machine wakes.
DeviceList failedOpen;
RouteSnapshot lastRoutes;
// One reopen for the two resume events of one wake.
bool resumeHandled = false;

// The system's change notices arrive on pool threads: they only ask the GUI
// thread to look, at most one request outstanding.
std::atomic<int32_t> changePending{ 0 };
std::atomic<HWND> noticeWindow{ nullptr };

using ChangeCallback = VOID(WINAPI*)(PVOID, PVOID, MIB_NOTIFICATION_TYPE);
using NotifyFn = DWORD(WINAPI*)(ADDRESS_FAMILY, ChangeCallback, PVOID, BOOLEAN, HANDLE*);
using CancelFn = DWORD(WINAPI*)(HANDLE);
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

HMODULE IpHelper()
{
    static HMODULE module = LoadSystemLibrary("iphlpapi.dll");
    return module;
}

// Bound at run time: the notices came with Vista.
void RegisterNotices(HWND window)
{
    noticeWindow = window;
    for (int i = 0; i < NOTICE_COUNT; ++i) {
        auto notify = IpHelper() != nullptr
                          ? reinterpret_cast<NotifyFn>(reinterpret_cast<void*>(GetProcAddress(IpHelper(), NOTICES[i])))
                          : nullptr;
        if (notify == nullptr || notify(AF_UNSPEC, OnSystemChange, nullptr, FALSE, &noticeHandles[i]) != NO_ERROR)
            noticeHandles[i] = nullptr;
    }
}

void CancelNotices()
{
    auto cancel = IpHelper() != nullptr
                      ? reinterpret_cast<CancelFn>(reinterpret_cast<void*>(GetProcAddress(IpHelper(), "CancelMibChangeNotify2")))
                      : nullptr;
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
    return !notEthernet.Has(device) && !failedOpen.Has(device);
}

void ShowNoConnection(HWND window)
{
    app.selectedIndex = -1;
    if (app.noConnection.exchange(1) == 1)
        return;
    LampStop(window);
    RatesStop(window);
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

// Moves the capture to the connection in use, if it changed.
void FollowConnection(HWND window, const NetworkSnapshot& snapshot)
{
    if (!SameDefaultRoutes(snapshot.Routes(), lastRoutes)) {
        lastRoutes = snapshot.Routes();
        failedOpen.count = 0;
    }
    int choice = ChooseConnection(snapshot.Routes(), Usable, nullptr);
    char device[ADAPTER_TEXT_SIZE] = "";
    if (choice >= 0)
        DeviceOf(snapshot.Routes().route[choice].guid, device, sizeof device);
    const char* running = RunningDevice();
    if (running != nullptr && std::strcmp(running, device) == 0) {
        RenewRunAddresses(snapshot);
        return;
    }
    EndRun();
    if (choice < 0) {
        ShowNoConnection(window);
        return;
    }

    OwnAddresses own;
    std::memset(&own, 0, sizeof own);
    char name[ADAPTER_TEXT_SIZE] = "";
    snapshot.FindAdapter(device, name, sizeof name, &own);
    int index = FindAdapterByGuid(&app.adapters, snapshot.Routes().route[choice].guid);
    if (index >= 0) {
        lstrcpynA(name, app.adapters.connectionName[index], sizeof name);
        if (own.ipv4[0] == '\0')
            lstrcpynA(own.ipv4, app.adapters.ipv4Address[index], sizeof own.ipv4);
    }
    if (name[0] != '\0')
        lstrcpynA(app.CardName, name, sizeof app.CardName);
    app.selectedIndex = index;
    app.noConnection = 0;
    TrayIconSetTip(PlainTip());
    // A run of an earlier connection that has not ended yet: no capture
    // until it has, and the next look tries again.
    if (!StartRun(device, own, true))
        ShowNoConnection(window);
}

void LookAtNetwork(HWND window)
{
    if (!app.monitoring)
        return;
    NetworkSnapshot snapshot;
    if (app.CardAuto == 1) {
        snapshot.Take();
        FollowConnection(window, snapshot);
    } else if (snapshot.TakeAdapters()) {
        // The chosen adapter needs no route: only its addresses.
        RenewRunAddresses(snapshot);
    }
}

} // namespace

void FollowNetworkStart(HWND window)
{
    lastRoutes.count = 0;
    failedOpen.count = 0;
    app.noConnection = 0;
    changePending = 0;
    SetTimer(window, FOLLOW_TIMER_ID, FOLLOW_PERIOD_MS, nullptr);
    RegisterNotices(window);
    if (app.CardAuto == 1)
        LookAtNetwork(window);
}

void FollowNetworkStop(HWND window)
{
    KillTimer(window, FOLLOW_TIMER_ID);
    CancelNotices();
}

LRESULT OnFollowTimer(HWND window)
{
    LookAtNetwork(window);
    return 0;
}

LRESULT OnNetworkChanged(HWND window)
{
    // Cleared first, so that a change after this point asks again.
    changePending = 0;
    LookAtNetwork(window);
    return 0;
}

LRESULT OnCaptureEnded(HWND window, WPARAM why, LPARAM runNumber)
{
    const char* running = RunningDevice();
    if (running == nullptr || RunningNumber() != runNumber)
        return 0;
    (why == CAPTURE_NOT_ETHERNET ? notEthernet : failedOpen).Add(running);
    EndRun();
    LookAtNetwork(window);
    return 0;
}

LRESULT OnPowerBroadcast(HWND window, WPARAM event)
{
    if (event == PBT_APMSUSPEND) {
        resumeHandled = false;
    } else if ((event == PBT_APMRESUMEAUTOMATIC || event == PBT_APMRESUMESUSPEND) && !resumeHandled) {
        // Windows sends both after a wake by the user; the first reopens.
        resumeHandled = true;
        failedOpen.count = 0;
        ReopenRun();
        LookAtNetwork(window);
    }
    return TRUE;
}

bool ReadAdapterAddresses(const char* deviceName, char* name, size_t nameSize, OwnAddresses* own)
{
    NetworkSnapshot snapshot;
    return snapshot.TakeAdapters() && snapshot.FindAdapter(deviceName, name, nameSize, own);
}
