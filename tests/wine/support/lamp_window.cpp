#include "support/lamp_window.h"
#include <pcap/pcap.h>
#include <cstdio>
#include <cstring>
#include "app/app_state.h"
#include "monitor/lamp_win.h"
#include "monitor/packet_win.h"
#include "tray/tray_image_win.h"

void (*afterLampTimer)(WPARAM timerId, HICON before) = nullptr;

namespace {

const char LAMP_WINDOW_CLASS[] = "NetGlowTestLampWindow";

LRESULT CALLBACK LampWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
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
    const unsigned char ports[8] = { static_cast<unsigned char>(sourcePort >> 8), static_cast<unsigned char>(sourcePort),
                                     static_cast<unsigned char>(destinationPort >> 8), static_cast<unsigned char>(destinationPort),
                                     0, 0, 0, 0 };
    frame.insert(frame.end(), ports, ports + 8);
    return frame;
}

void DeliverFrame(const unsigned char* bytes, uint32_t captured, uint32_t seconds)
{
    struct pcap_pkthdr header;
    std::memset(&header, 0, sizeof header);
    header.ts.tv_sec = static_cast<long>(seconds);
    header.ts.tv_usec = 0;
    header.caplen = captured;
    header.len = captured;
    OnPacket(nullptr, &header, bytes);
}

void DeliverFrame(const Frame& frame, uint32_t seconds)
{
    DeliverFrame(frame.data(), static_cast<uint32_t>(frame.size()), seconds);
}

std::string MakeTempFolder(const char* tag)
{
    char base[MAX_PATH];
    GetTempPathA(sizeof base, base);
    static LONG serial = 0;
    char folder[MAX_PATH];
    std::snprintf(folder, sizeof folder, "%snetglow_%s_%lu_%lu_%ld\\", base, tag,
                  static_cast<unsigned long>(GetCurrentProcessId()),
                  static_cast<unsigned long>(GetTickCount()), InterlockedIncrement(&serial));
    CreateDirectoryA(folder, nullptr);
    return folder;
}

std::string ReadFileBytes(const std::string& path)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return "<missing>";
    std::string all;
    char chunk[4096];
    DWORD got = 0;
    while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0)
        all.append(chunk, got);
    CloseHandle(file);
    return all;
}

bool PathExists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}
