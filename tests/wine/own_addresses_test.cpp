// The adapter's own IPv6 addresses from the system to the log line: a
// monitoring run on a device whose GUID is an adapter of this machine (as
// Wine's IP Helper reports it) logs a frame from one of that adapter's IPv6
// addresses as sent. The fake capture library replays the frames; the
// addresses are the system's. Skipped, with the reason, where no adapter has
// an IPv6 address other than ::1 (which counts as sent on any adapter).
#include <gtest/gtest.h>
#include <cstdio>
#include <cstdlib>
#include <string>
#include "core/app_state.h"
#include "monitor/capture_win.h"
#include "monitor/monitoring_win.h"
#include "support/adapter_doubles.h"
#include "support/lamp_window.h"
#include "support/message_boxes.h"
#include "tests/fakes/frames.h"

namespace {

frames::Bytes UdpFrom(const unsigned char source[16], const unsigned char destination[16])
{
    return frames::Ipv6(0x60, 0x00, 17, frames::Bytes(source, source + 16),
                        frames::Bytes(destination, destination + 16), frames::Ports(5353, 53));
}

// The log's form of an IPv6 address: eight groups of four hexadecimal digits.
std::string Groups(const unsigned char address[16])
{
    char text[40];
    std::snprintf(text, sizeof text, "%02x%02x:%02x%02x:%02x%02x:%02x%02x:%02x%02x:%02x%02x:%02x%02x:%02x%02x",
                  address[0], address[1], address[2], address[3], address[4], address[5], address[6], address[7],
                  address[8], address[9], address[10], address[11], address[12], address[13], address[14],
                  address[15]);
    return text;
}

std::string logPath;
bool TwoLines(void*) { return CountOf(ReadFileBytes(logPath), "\r\n") >= 2; }

} // namespace

TEST(OwnAddresses, Ipv6FromTheAdaptersSystemAddressIsLoggedAsSent)
{
    std::string guid;
    unsigned char own[16];
    if (!SystemAdapterWithOwnIpv6(&guid, own))
        GTEST_SKIP() << "no adapter of this machine has an IPv6 address other than ::1";
    const unsigned char elsewhere[16] = { 0x20, 0x01, 0x0d, 0xb8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x10 };
    const unsigned char peer[16] = { 0x26, 0x06, 0x47, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x11 };
    const uint32_t second = 1420070405; // 2015-01-01 00:00:05 UTC

    _putenv("TZ=UTC");
    _tzset();
    HWND window = StartRunWindow("192.168.1.10");
    ASSERT_NE(nullptr, window);
    std::string device = "\\Device\\NPF_" + guid;
    lstrcpynA(app.adapters.deviceName[0], device.c_str(), ADAPTER_TEXT_SIZE);
    lstrcpynA(app.adapters.connectionName[0], "Ethernet", ADAPTER_TEXT_SIZE);
    logPath = MakeTempFolder("own-addresses") + "NetGlow.txt";
    lstrcpynA(app.logPath, logPath.c_str(), sizeof app.logPath);
    app.logging = 1;
    SetFakeCaptureDevices({ "device=" + device, "replay=" + WriteFrames({ UdpFrom(own, peer), UdpFrom(elsewhere, peer) },
                                                                         second) });
    StartMonitoring();
    bool logged = PumpUntil(TwoLines, nullptr, 10000);
    StopMonitoring();
    DestroyLampWindow(window);
    ASSERT_TRUE(logged) << "the replayed frames were not logged";
    EXPECT_EQ("Time=2015/01/01 00:00:05\tSEND\tIPv6\tProtocol=UDP\tPort=5353\tSend Address=" + Groups(own)
                  + " % 6000\tRecv Address=2606:4700:0000:0000:0000:0000:0000:0011 % xx\r\n"
                    "Time=2015/01/01 00:00:05\tRECV\tIPv6\tProtocol=UDP\tPort=5353\t"
                    "Send Address=2001:0db8:0000:0000:0000:0000:0000:0010 % 6000\t"
                    "Recv Address=2606:4700:0000:0000:0000:0000:0000:0011 % xx\r\n",
              ReadFileBytes(logPath))
        << "adapter " << guid;
}
