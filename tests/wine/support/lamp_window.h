// Test doubles for the packet path under Wine: a window of the test thread
// that stands in for the main window (its WM_TIMER and WM_LAMP_ACTIVITY go to
// the lamp, as MainWindowProc does), frame builders, and a way to feed
// OnPacket read by read, as the capture thread does.
#pragma once
#include <windows.h>
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>
#include "support/test_files.h"
#include "tests/fakes/frames.h"

// A hidden top-level window on the calling thread. Its WM_SETTINGCHANGE and
// WM_SYSCOLORCHANGE go to TrayIconFollowLook, as MainWindowProc's do. After each OnLampTimer it
// calls afterLampTimer (when set) with the timer id and the tray image that
// was stored before the call.
HWND CreateLampWindow();
void DestroyLampWindow(HWND window);
// A fresh state whose main window is a new lamp window and whose one adapter,
// chosen, has that IPv4 address, which the reads below then take as their
// own (readsOwnIpv4); null when the window cannot be made.
HWND StartRunWindow(const char* adapterAddress);
// Adds the tray icon with the stopped lamp, as start-up does; Wine's
// notification area may still be starting, so it is offered for up to 10 s.
BOOL AddLampIcon(HWND window, const char* tip);
extern void (*afterLampTimer)(WPARAM timerId, HICON before);

// The handle that TrayIconSetImage stores for that icon id.
HICON LampIcon(UINT iconId);

// Frames are built with tests/fakes/frames.h.
using Frame = frames::Bytes;
// Hands the frames to OnPacket as one capture read (each captured at that
// second, at most `captured` bytes of it), then ends the read. Called on
// app.mainWindow's thread, the lamp's wake-up is handled before it returns.
void DeliverRead(const std::vector<Frame>& frames, uint32_t seconds, size_t captured = 64);
// A read of one frame.
void DeliverFrame(const Frame& frame, uint32_t seconds);
// The stop flag and the adapter's own addresses of the reads above: IPv4
// ("" or null: none) and IPv6 (null: none).
extern std::atomic<int32_t> readsStopping;
extern std::atomic<int32_t> readsLogHeld; // always 0
extern const char* readsOwnIpv4;
extern const struct OwnIpv6Addresses* readsOwnIpv6;

