// Drives the adapter-discovery doubles from Wine tests: the fake capture
// library's control file, the fake ipconfig's report, registry keys seeded
// under HKEY_LOCAL_MACHINE, and a main window that records the commands it
// receives in order with the message boxes shown meanwhile.
#pragma once
#include <windows.h>
#include <cstdint>
#include <gtest/gtest.h>
#include <ostream>
#include <string>
#include <vector>
#include "core/app_state.h"
#include "support/message_boxes.h"
#include "support/registry_seed.h"
#include "tests/fakes/system_adapters.h"
#include "support/test_files.h"

// Writes the fake wpcap.dll's control file and points NETGLOW_FAKE_WPCAP at it.
// A "calls" line naming CallsPath() is added so the calls can be checked.
void SetFakeCaptureDevices(const std::vector<std::string>& controlLines);
std::string CallsPath();
std::vector<std::string> ReadCalls();
// A classic pcap file (microseconds) with frames of the given captured
// lengths, frame i filled with the byte i; originalLength 0: as captured.
std::string WriteCapture(const std::vector<unsigned>& lengths, unsigned originalLength = 0);
// A classic pcap file of these frames, whole, all captured at that second.
std::string WriteFrames(const std::vector<std::vector<unsigned char>>& frames, uint32_t seconds);


// The report the fake ipconfig prints: a fixture file, or nothing ("").
void SetFakeIpconfigReport(const std::string& fixture);


// The test's stand-in for the main window: records WM_COMMAND ids.
HWND CreateRecordingWindow();

// A fresh state with the recording window as the main window, and control
// set 201 of the registry empty, "SYSTEM\Select" kept aside; all put back after.
class ControlSetTest : public ::testing::Test {
protected:
    const std::string CONTROL_SET = "SYSTEM\\ControlSet201";
    void SetUp() override
    {
        ResetAppState();
        app.mainWindow = CreateRecordingWindow();
        SaveSelectKey();
        RemoveTree(CONTROL_SET);
    }
    void TearDown() override
    {
        RemoveTree(CONTROL_SET);
        RestoreSelectKey();
        DestroyWindow(app.mainWindow);
    }
};

// One event seen while an operation ran: a message box, or a command that
// reached the recording window (with messageBoxOpen at that moment).
struct DiscoveryEvent {
    bool isBox = false;
    SeenMessageBox box;
    WPARAM command = 0;
    int messageBoxOpen = 0;
};
// Runs fn on a new thread, answers every box with OK and returns what
// happened, in order.
std::vector<DiscoveryEvent> RunRecording(void (*fn)(void*), void* arg, DWORD timeoutMs = 60000);

// Events as text: "error|question|information: TEXT" for a box owned by
// app.mainWindow (" (other owner)" appended otherwise), "command 1016" for a
// command, with " while a box is open" when messageBoxOpen was 1 then.
std::vector<std::string> Describe(const std::vector<DiscoveryEvent>& events);

// One row of the adapter table, for comparisons.
struct AdapterRow {
    std::string device, name, address;
    bool operator==(const AdapterRow& o) const { return device == o.device && name == o.name && address == o.address; }
};
std::ostream& operator<<(std::ostream& out, const AdapterRow& row);
// The table's rows, each device name without its first `skip` characters.
std::vector<AdapterRow> AdapterRows(size_t skip = 0);
