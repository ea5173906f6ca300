// Test doubles for the packet path under Wine: a window of the test thread
// that stands in for the main window (its WM_TIMER goes to OnLampTimer, as
// MainWindowProc does), frame builders, and a way to feed OnPacket.
#pragma once
#include <windows.h>
#include <cstdint>
#include <string>
#include <vector>
#include "support/test_files.h"

// A hidden top-level window on the calling thread. After each OnLampTimer it
// calls afterLampTimer (when set) with the timer id and the tray image that
// was stored before the call.
HWND CreateLampWindow();
void DestroyLampWindow(HWND window);
extern void (*afterLampTimer)(WPARAM timerId, HICON before);

// The handle that TrayIconSetImage stores for that icon id.
HICON LampIcon(UINT iconId);

using Frame = std::vector<unsigned char>;
// Ethernet + IPv4 header (20 bytes) + 8 bytes: source port, destination port.
Frame Ipv4Frame(unsigned char protocol, const char* source, const char* destination,
                uint16_t sourcePort, uint16_t destinationPort);
// Hands the frame to OnPacket as libpcap would, captured at that second.
void DeliverFrame(const Frame& frame, uint32_t seconds);
void DeliverFrame(const unsigned char* bytes, uint32_t captured, uint32_t seconds);

