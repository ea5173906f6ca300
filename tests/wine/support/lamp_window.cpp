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
#include "tray/tray_image_win.h"

void (*afterLampTimer)(WPARAM timerId, HICON before) = nullptr;
std::atomic<int32_t> readsStopping{ 0 };
const OwnIpv6Addresses* readsOwnIpv6 = nullptr;

namespace {

const char LAMP_WINDOW_CLASS[] = "NetGlowTestLampWindow";

LRESULT CALLBACK LampWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_LAMP_ACTIVITY)
        return OnLampActivity(window, wParam, lParam);
    if (message == WM_TIMER && wParam == RATE_TIMER_ID)
        return OnRateTimer(window);
    if (message == WM_TIMER) {
        HICON before = app.trayData.hIcon;
        LRESULT result = OnLampTimer(window, wParam, lParam);
        if (afterLampTimer != nullptr)
            afterLampTimer(wParam, before);
        return result;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

bool ParseDotted(const char* text, unsigned char out[4])
{
    unsigned a, b, c, d;
    if (std::sscanf(text, "%u.%u.%u.%u", &a, &b, &c, &d) != 4)
        return false;
    out[0] = static_cast<unsigned char>(a);
    out[1] = static_cast<unsigned char>(b);
    out[2] = static_cast<unsigned char>(c);
    out[3] = static_cast<unsigned char>(d);
    return true;
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

void DestroyLampWindow(HWND window)
{
    if (window != nullptr)
        DestroyWindow(window);
}

HICON LampIcon(UINT iconId)
{
    return LoadTrayImage(iconId);
}

namespace {
// The first 8 bytes after the IP header: the two ports, then zeros.
void AppendPorts(Frame* frame, uint16_t sourcePort, uint16_t destinationPort)
{
    const unsigned char ports[8] = { static_cast<unsigned char>(sourcePort >> 8), static_cast<unsigned char>(sourcePort),
                                     static_cast<unsigned char>(destinationPort >> 8), static_cast<unsigned char>(destinationPort),
                                     0, 0, 0, 0 };
    frame->insert(frame->end(), ports, ports + 8);
}
} // namespace

Frame Ipv4Frame(unsigned char protocol, const char* source, const char* destination,
                uint16_t sourcePort, uint16_t destinationPort)
{
    Frame frame = { 0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0x99, 0xaa, 0xbb, 0x08, 0x00,
                    0x45, 0x00, 0x00, 0x28, 0x00, 0x01, 0x40, 0x00, 0x40, protocol, 0x00, 0x00 };
    unsigned char address[4] = {};
    ParseDotted(source, address);
    frame.insert(frame.end(), address, address + 4);
    ParseDotted(destination, address);
    frame.insert(frame.end(), address, address + 4);
    AppendPorts(&frame, sourcePort, destinationPort);
    return frame;
}

Frame Ipv6Frame(unsigned char nextHeader, const unsigned char source[16], const unsigned char destination[16],
                uint16_t sourcePort, uint16_t destinationPort)
{
    Frame frame = { 0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0x99, 0xaa, 0xbb, 0x86, 0xdd,
                    0x60, 0x00, 0x00, 0x00, 0x00, 0x08, nextHeader, 0x40 };
    frame.insert(frame.end(), source, source + 16);
    frame.insert(frame.end(), destination, destination + 16);
    AppendPorts(&frame, sourcePort, destinationPort);
    return frame;
}

void DeliverRead(const std::vector<Frame>& frames, uint32_t seconds, size_t captured)
{
    // The log buffer of a run: one per thread, as each run has its own.
    thread_local char storage[64 * 1024];
    thread_local LogBatch log(storage, sizeof storage, AppendLogFile, app.logPath);
    PacketBatch batch = { &log, &readsStopping, readsOwnIpv6, 0, 0, 0, 0 };
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
    // On the window's own thread the lamp's wake-up is handled at once, so
    // that the image can be checked right after the call.
    MSG msg;
    if (GetWindowThreadProcessId(app.mainWindow, nullptr) == GetCurrentThreadId()
        && PeekMessageA(&msg, app.mainWindow, WM_LAMP_ACTIVITY, WM_LAMP_ACTIVITY, PM_REMOVE))
        DispatchMessageA(&msg);
}

void DeliverFrame(const unsigned char* bytes, uint32_t captured, uint32_t seconds)
{
    DeliverRead({ Frame(bytes, bytes + captured) }, seconds);
}

void DeliverFrame(const Frame& frame, uint32_t seconds)
{
    DeliverRead({ frame }, seconds);
}
