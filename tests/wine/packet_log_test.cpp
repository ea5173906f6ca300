// The packet path under Wine: each read's lines reach the real connection log
// in one write, and the lamp lights whatever happens to the log.
#include <gtest/gtest.h>
#include <cstring>
#include <ctime>
#include <string>
#include "core/app_state.h"
#include "monitor/lamp_win.h"
#include "monitor/packet_text.h"
#include "monitor/packet_win.h"
#include "res/resource.h"
#include "support/import_patch.h"
#include "support/lamp_window.h"
#include "support/notify_recorder.h"
#include "support/message_boxes.h"

using namespace frames;

namespace {

const char* const kAdapter = "192.168.1.10";
const uint32_t kFirstSecond = 1420070405; // 2015-01-01 00:00:05 UTC

const char kReceivedLine[] =
    "Time=2015/01/01 00:00:05\tRECV\tIPv4\tProtocol=TCP\tPort=HTTPS\tSend Address=203.0.113.7\tRecv Address=192.168.1.10\r\n";
const char kSentLine[] =
    "Time=2015/01/01 00:00:06\tSEND\tIPv4\tProtocol=TCP\tPort=51000\tSend Address=192.168.1.10\tRecv Address=203.0.113.7\r\n";
const char kDnsLine[] =
    "Time=2015/01/01 00:00:07\tRECV\tIPv4\tProtocol=UDP\tPort=DNS\tSend Address=8.8.8.8\tRecv Address=192.168.1.10\r\n";

Frame Received() { return Ipv4(6, Dotted("203.0.113.7"), Dotted(kAdapter), Ports(443, 51000)); }
Frame Sent() { return Ipv4(6, Dotted(kAdapter), Dotted("203.0.113.7"), Ports(51000, 443)); }
Frame Dns() { return Ipv4(17, Dotted("8.8.8.8"), Dotted(kAdapter), Ports(53, 40000)); }

bool LampIsIdle(void*) { return LampShown(app.trayData.hIcon) == ICON_IDLE; }

class PacketLog : public ::testing::Test {
protected:
    void SetUp() override
    {
        _putenv("TZ=UTC");
        _tzset();
        window = StartRunWindow(kAdapter);
        ASSERT_NE(nullptr, window);
        folder = MakeTempFolder("log");
        logPath = folder + "NetGlow.txt";
        lstrcpynA(app.logPath, logPath.c_str(), sizeof app.logPath);
        // Every frame's colour at once: no lamp time, no hold-off.
        app.TimeoutP = 0;
        LampStart();
    }
    void TearDown() override
    {
        LampStop(window);
        DestroyLampWindow(window);
        DeleteFileA(logPath.c_str());
        RemoveDirectoryA(folder.c_str());
    }
    HWND window = nullptr;
    std::string folder;
    std::string logPath;
};

} // namespace

TEST_F(PacketLog, LinesEndWithCarriageReturnAndLineFeed)
{
    app.logging = 1;
    DeliverFrame(Received(), kFirstSecond);
    EXPECT_EQ(std::string(kReceivedLine), ReadFileBytes(logPath));
    DeliverFrame(Sent(), kFirstSecond + 1);
    DeliverFrame(Dns(), kFirstSecond + 2);
    EXPECT_EQ(std::string(kReceivedLine) + kSentLine + kDnsLine, ReadFileBytes(logPath));
    EXPECT_EQ(ICON_YELLOW, LampShown(app.trayData.hIcon));
}

TEST_F(PacketLog, LoggingOffNeitherCreatesTheLog)
{
    app.logging = 0;
    DeliverFrame(Received(), kFirstSecond);
    EXPECT_FALSE(PathExists(logPath));
    EXPECT_EQ(ICON_YELLOW, LampShown(app.trayData.hIcon));
    // Switched on and off between packets: read afresh for each one.
    app.logging = 1;
    DeliverFrame(Received(), kFirstSecond);
    app.logging = 0;
    DeliverFrame(Sent(), kFirstSecond + 1);
    EXPECT_EQ(std::string(kReceivedLine), ReadFileBytes(logPath));
    EXPECT_EQ(ICON_RED, LampShown(app.trayData.hIcon));
}

namespace {
// A named pipe as the log path: any open of the path connects to it.
struct PipeLog {
    explicit PipeLog(const char* name)
    {
        path = std::string("\\\\.\\pipe\\") + name;
        pipe = CreateNamedPipeA(path.c_str(), PIPE_ACCESS_INBOUND | FILE_FLAG_OVERLAPPED,
                                PIPE_TYPE_BYTE | PIPE_WAIT, 1, 4096, 4096, 0, nullptr);
        ZeroMemory(&overlapped, sizeof overlapped);
        overlapped.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        if (!ConnectNamedPipe(pipe, &overlapped) && GetLastError() == ERROR_PIPE_CONNECTED)
            SetEvent(overlapped.hEvent);
    }
    ~PipeLog()
    {
        CancelIo(pipe);
        CloseHandle(pipe);
        CloseHandle(overlapped.hEvent);
    }
    bool Opened(DWORD waitMs) { return WaitForSingleObject(overlapped.hEvent, waitMs) == WAIT_OBJECT_0; }
    std::string Read()
    {
        char buffer[1024];
        DWORD got = 0;
        OVERLAPPED read;
        ZeroMemory(&read, sizeof read);
        read.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        std::string text;
        if (ReadFile(pipe, buffer, sizeof buffer, &got, &read) || GetOverlappedResult(pipe, &read, &got, TRUE))
            text.assign(buffer, got);
        CloseHandle(read.hEvent);
        return text;
    }
    std::string path;
    HANDLE pipe;
    OVERLAPPED overlapped;
};
} // namespace

TEST_F(PacketLog, LoggingOffDoesNotEvenOpenTheLog)
{
    char name[64];
    wsprintfA(name, "netglow_log_%lu", GetCurrentProcessId());
    PipeLog pipe(name);
    ASSERT_NE(INVALID_HANDLE_VALUE, pipe.pipe);
    lstrcpynA(app.logPath, pipe.path.c_str(), sizeof app.logPath);

    app.logging = 0;
    DeliverFrame(Received(), kFirstSecond);
    DeliverFrame(Sent(), kFirstSecond + 1);
    EXPECT_FALSE(pipe.Opened(200)) << "the log was opened with logging off";
    EXPECT_EQ(ICON_RED, LampShown(app.trayData.hIcon));

    // The same watch sees an open as soon as logging is on.
    app.logging = 1;
    DeliverFrame(Received(), kFirstSecond);
    EXPECT_TRUE(pipe.Opened(2000)) << "the watch does not see an open of the log";
    EXPECT_EQ(ICON_YELLOW, LampShown(app.trayData.hIcon));
}

TEST_F(PacketLog, DeletedLogComesBackWithOnlyLaterLines)
{
    app.logging = 1;
    DeliverFrame(Received(), kFirstSecond);
    DeliverFrame(Sent(), kFirstSecond + 1);
    ASSERT_TRUE(DeleteFileA(logPath.c_str()));
    EXPECT_FALSE(PathExists(logPath));
    DeliverFrame(Dns(), kFirstSecond + 2);
    EXPECT_EQ(std::string(kDnsLine), ReadFileBytes(logPath));
}

namespace {
// "Log file delete" chosen while a read's lines are being written.
typedef BOOL(WINAPI* WriteFileFn)(HANDLE, LPCVOID, DWORD, LPDWORD, LPOVERLAPPED);
WriteFileFn realWriteFile = nullptr;
const char* deleteDuringWrite = nullptr;
int deleteResult = -1;
BOOL WINAPI DeletingWriteFile(HANDLE file, LPCVOID data, DWORD size, LPDWORD written, LPOVERLAPPED overlapped)
{
    if (deleteDuringWrite != nullptr) {
        deleteResult = DeleteFileA(deleteDuringWrite) ? 1 : 0;
        deleteDuringWrite = nullptr;
    }
    return realWriteFile(file, data, size, written, overlapped);
}
} // namespace

TEST_F(PacketLog, DeleteDuringAWriteRemovesTheLogAndTheNextReadCreatesItAgain)
{
    realWriteFile = reinterpret_cast<WriteFileFn>(PatchImport("WriteFile", reinterpret_cast<void*>(DeletingWriteFile)));
    ASSERT_NE(nullptr, realWriteFile);
    app.logging = 1;
    DeliverFrame(Received(), kFirstSecond);
    deleteDuringWrite = logPath.c_str();
    DeliverRead({ Sent(), Sent() }, kFirstSecond + 1);
    PatchImport("WriteFile", reinterpret_cast<void*>(realWriteFile));
    EXPECT_EQ(1, deleteResult) << "the delete met the append and failed";
    EXPECT_FALSE(PathExists(logPath));
    DeliverFrame(Dns(), kFirstSecond + 2);
    EXPECT_EQ(std::string(kDnsLine), ReadFileBytes(logPath));
}

TEST_F(PacketLog, UnopenableLogStillLightsTheLampAndArmsTheTimer)
{
    app.logging = 1;
    app.TimeoutP = 20;
    for (const std::string& path : { folder + "no such folder\\NetGlow.txt", folder }) {
        SCOPED_TRACE(path);
        lstrcpynA(app.logPath, path.c_str(), sizeof app.logPath);
        DeliverFrame(Sent(), kFirstSecond);
        EXPECT_EQ(ICON_RED, LampShown(app.trayData.hIcon));
        EXPECT_TRUE(LampTimerRunning());
        EXPECT_TRUE(PumpUntil(LampIsIdle, nullptr, 2000)) << "the lamp timer did not expire";
        EXPECT_FALSE(LampTimerRunning());
    }
    // No message box reports the lost lines: one would have kept the
    // deliveries above from returning.
    EXPECT_FALSE(PathExists(folder + "no such folder"));
}

TEST_F(PacketLog, NothingHappensWhileCaptureStops)
{
    app.logging = 1;
    readsStopping = 1;
    DeliverFrame(Received(), kFirstSecond);
    DeliverFrame(Sent(), kFirstSecond + 1);
    EXPECT_FALSE(PathExists(logPath));
    EXPECT_EQ(ICON_IDLE, LampShown(app.trayData.hIcon));
    EXPECT_FALSE(LampTimerRunning());
    EXPECT_FALSE(KillTimer(window, LAMP_TIMER_ID)) << "a lamp timer was set";
    PumpPending();
    EXPECT_EQ(ICON_IDLE, LampShown(app.trayData.hIcon));

    readsStopping = 0;
    DeliverFrame(Received(), kFirstSecond);
    EXPECT_EQ(std::string(kReceivedLine), ReadFileBytes(logPath));
    EXPECT_EQ(ICON_YELLOW, LampShown(app.trayData.hIcon));
}

// The run's own address decides, never the adapter table: the table still
// names 192.168.1.10 as chosen while the run has no IPv4 address.
TEST_F(PacketLog, WithoutItsOwnIpv4AddressTheRunComparesWithNoAdapter)
{
    app.logging = 1;
    for (const char* own : { "", static_cast<const char*>(nullptr) }) {
        SCOPED_TRACE(own != nullptr ? "\"\"" : "null");
        readsOwnIpv4 = own;
        DeleteFileA(logPath.c_str());
        DeliverFrame(Sent(), kFirstSecond + 1);
        EXPECT_EQ(ICON_YELLOW, LampShown(app.trayData.hIcon)); // RECV: no adapter to match
        DeliverFrame(Ipv4(6, Dotted("127.0.0.1"), Dotted("127.0.0.1"), Ports(80, 50000)), kFirstSecond + 1);
        EXPECT_EQ(ICON_RED, LampShown(app.trayData.hIcon)); // loopback is always SEND
        EXPECT_EQ(std::string("Time=2015/01/01 00:00:06\tRECV\tIPv4\tProtocol=TCP\tPort=51000\tSend Address=192.168.1.10\tRecv Address=203.0.113.7\r\n"
                              "Time=2015/01/01 00:00:06\tSEND\tIPv4\tProtocol=TCP\tPort=HTTP\tSend Address=127.0.0.1\tRecv Address=127.0.0.1\r\n"),
                  ReadFileBytes(logPath));
    }
}

TEST_F(PacketLog, SettingsAreReadAfreshForEveryPacket)
{
    app.logging = 1;
    DeliverFrame(Sent(), kFirstSecond);
    EXPECT_EQ(ICON_RED, LampShown(app.trayData.hIcon));
    app.ColorSend = 3;
    DeliverFrame(Sent(), kFirstSecond);
    EXPECT_EQ(ICON_YELLOW, LampShown(app.trayData.hIcon));
    app.ColorRecv = 1;
    DeliverFrame(Received(), kFirstSecond);
    EXPECT_EQ(ICON_RED, LampShown(app.trayData.hIcon));
    readsOwnIpv4 = "203.0.113.7"; // a new lease, handed to the run for its next read
    DeliverFrame(Received(), kFirstSecond);
    EXPECT_EQ(ICON_YELLOW, LampShown(app.trayData.hIcon)); // now SEND, ColorSend 3
    EXPECT_FALSE(LampTimerRunning());
    app.TimeoutP = 20;
    DeliverFrame(Received(), kFirstSecond);
    EXPECT_TRUE(LampTimerRunning());
}

TEST_F(PacketLog, ShortFramesAreLoggedWithZeros)
{
    app.logging = 1;
    Frame full = Received();
    // A 10-byte frame, shorter than the Ethernet header, and a 14-byte one.
    for (size_t captured : { 10, 14, 34 })
        DeliverRead({ full }, kFirstSecond, captured);
    const std::string zeros = "Time=2015/01/01 00:00:05\tRECV\tIPv4\tProtocol=0\tPort=0\tSend Address=0.0.0.0\tRecv Address=0.0.0.0\r\n";
    EXPECT_EQ(zeros + zeros
                  + "Time=2015/01/01 00:00:05\tRECV\tIPv4\tProtocol=TCP\tPort=0\tSend Address=203.0.113.7\tRecv Address=192.168.1.10\r\n",
              ReadFileBytes(logPath));
}

TEST_F(PacketLog, Ipv6FromTheAdaptersOwnAddressesOrLoopbackIsSent)
{
    const Bytes own = { 0x20, 0x01, 0x0d, 0xb8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x10 };
    const Bytes peer = { 0x26, 0x06, 0x47, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x11 };
    const Bytes loopback = { 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1 };
    OwnIpv6Addresses table = {};
    std::memcpy(table.address[table.count++], own.data(), 16);
    readsOwnIpv6 = &table;
    app.logging = 1;
    DeliverFrame(Ipv6(0x60, 0x00, 6, own, peer, Ports(51000, 443)), kFirstSecond);
    EXPECT_EQ(ICON_RED, LampShown(app.trayData.hIcon));
    DeliverFrame(Ipv6(0x60, 0x00, 6, peer, own, Ports(443, 51000)), kFirstSecond);
    EXPECT_EQ(ICON_YELLOW, LampShown(app.trayData.hIcon));
    DeliverFrame(Ipv6(0x60, 0x00, 17, loopback, loopback, Ports(5353, 53)), kFirstSecond);
    EXPECT_EQ(ICON_RED, LampShown(app.trayData.hIcon));
    readsOwnIpv6 = nullptr;
    EXPECT_EQ(std::string("Time=2015/01/01 00:00:05\tSEND\tIPv6\tProtocol=TCP\tPort=51000\t"
                          "Send Address=2001:0db8:0000:0000:0000:0000:0000:0010 % 6000\t"
                          "Recv Address=2606:4700:0000:0000:0000:0000:0000:0011 % xx\r\n"
                          "Time=2015/01/01 00:00:05\tRECV\tIPv6\tProtocol=TCP\tPort=HTTPS\t"
                          "Send Address=2606:4700:0000:0000:0000:0000:0000:0011 % 6000\t"
                          "Recv Address=2001:0db8:0000:0000:0000:0000:0000:0010 % xx\r\n"
                          "Time=2015/01/01 00:00:05\tSEND\tIPv6\tProtocol=UDP\tPort=5353\t"
                          "Send Address=0000:0000:0000:0000:0000:0000:0000:0001 % 6000\t"
                          "Recv Address=0000:0000:0000:0000:0000:0000:0000:0001 % xx\r\n"),
              ReadFileBytes(logPath));
}
