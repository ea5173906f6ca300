#include "support/lamp_window.h"
#include <pcap/pcap.h>
#include <cstdio>
#include <cstring>
#include "core/app_state.h"
#include "monitor/connection_log.h"
#include "monitor/lamp_win.h"
#include "monitor/log_file_win.h"
#include "monitor/packet_text.h"
#include "monitor/packet_win.h"
#include "monitor/rates_win.h"
#include "res/resource.h"
#include "support/message_boxes.h"
#include "tray/tray_icon_win.h"
#include "tray/tray_image_win.h"

void (*afterLampTimer)(WPARAM timerId, HICON before) = nullptr;
std::atomic<int32_t> readsStopping{ 0 };
std::atomic<int32_t> readsLogHeld{ 0 };
const char* readsOwnIpv4 = nullptr;
const OwnIpv6Addresses* readsOwnIpv6 = nullptr;

namespace {

const char LAMP_WINDOW_CLASS[] = "NetGlowTestLampWindow";
// The run's copy of its adapter's IPv4 address, as a run takes it from the
// table when it starts.
char startedIpv4[OWN_IPV4_TEXT_SIZE];

LRESULT CALLBACK LampWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_LAMP_ACTIVITY)
        return OnLampActivity(window, wParam, lParam);
    if (message == WM_TIMER && wParam == RATE_TIMER_ID)
        return OnRateTimer(window);
    if (message == WM_SETTINGCHANGE || message == WM_SYSCOLORCHANGE) {
        TrayIconFollowLook();
        return 0;
    }
    if (message == WM_TIMER) {
        HICON before = app.trayData.hIcon;
        LRESULT result = OnLampTimer(window, wParam, lParam);
        if (afterLampTimer != nullptr)
            afterLampTimer(wParam, before);
        return result;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

} // namespace

HWND CreateLampWindow()
{
    WNDCLASSA windowClass;
    ZeroMemory(&windowClass, sizeof windowClass);
    windowClass.lpfnWndProc = LampWindowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = LAMP_WINDOW_CLASS;
    RegisterClassA(&windowClass); // a second registration fails harmlessly
    return CreateWindowExA(0, LAMP_WINDOW_CLASS, "NetGlow test lamp", WS_OVERLAPPEDWINDOW,
                           0, 0, 100, 100, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
}

HWND StartRunWindow(const char* adapterAddress)
{
    ResetAppState();
    HWND window = CreateLampWindow();
    app.mainWindow = window;
    app.adapters.count = 1;
    lstrcpynA(app.adapters.ipv4Address[0], adapterAddress, ADAPTER_TEXT_SIZE);
    app.selectedIndex = 0;
    lstrcpynA(startedIpv4, adapterAddress, sizeof startedIpv4);
    readsOwnIpv4 = startedIpv4;
    return window;
}

BOOL AddLampIcon(HWND window, const char* tip)
{
    BOOL added = FALSE;
    for (int attempt = 0; attempt < 100 && !added; ++attempt) {
        added = TrayIconAdd(window, TRAY_ICON_ID, TRAY_CALLBACK_MESSAGE, LampIcon(ICON_STOPPED), tip);
        if (!added)
            PumpMessagesFor(100);
    }
    return added;
}

void DestroyLampWindow(HWND window)
{
    if (window != nullptr)
        DestroyWindow(window);
}

HICON LampIcon(UINT iconId)
{
    return LoadTrayImage(iconId);
}

void DeliverRead(const std::vector<Frame>& frames, uint32_t seconds, size_t captured)
{
    // The log buffer of a run: one per thread, as each run has its own.
    thread_local char storage[64 * 1024];
    thread_local LogFile logFile;
    InitLogFile(&logFile, app.logPath);
    thread_local LogBatch log(storage, sizeof storage, AppendLogFile, &logFile);
    PacketBatch batch = { &log, &readsStopping, &readsLogHeld, 0, 0, 0, 0, readsOwnIpv4, {}, nullptr, {} };
    batch.own.ipv6 = readsOwnIpv6;
    for (const Frame& frame : frames) {
        struct pcap_pkthdr header;
        std::memset(&header, 0, sizeof header);
        header.ts.tv_sec = static_cast<long>(seconds);
        size_t length = captured < frame.size() ? captured : frame.size();
        header.caplen = static_cast<bpf_u_int32>(length);
        header.len = static_cast<bpf_u_int32>(frame.size());
        OnPacket(reinterpret_cast<u_char*>(&batch), &header, frame.data());
    }
    EndPacketBatch(&batch, app.mainWindow);
    log.Reset(); // a failed write stops a run's logging; the next read here logs again
    // On the window's own thread the lamp's wake-up is handled at once, so
    // that the image can be checked right after the call.
    MSG msg;
    if (GetWindowThreadProcessId(app.mainWindow, nullptr) == GetCurrentThreadId()
        && PeekMessageA(&msg, app.mainWindow, WM_LAMP_ACTIVITY, WM_LAMP_ACTIVITY, PM_REMOVE))
        DispatchMessageA(&msg);
}

void DeliverFrame(const Frame& frame, uint32_t seconds)
{
    DeliverRead({ frame }, seconds);
}
