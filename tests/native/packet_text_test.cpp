// The packet texts, direction and icon of single frames, checked byte for byte.
// Every frame lives in a heap block of exactly its captured size, so that
// AddressSanitizer catches any read beyond the captured length.
#include <gtest/gtest.h>
#include <algorithm>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>
#include <vector>
#include "monitor/packet_text.h"
#include "res/resource.h"
#include "tests/fakes/frames.h"

namespace {

using frames::Bytes;
using frames::Ethernet;
using frames::Ipv4;
using frames::Ipv6;
using frames::Ports;

using frames::HeapFrame;

struct tm LocalTime(int year, int month, int day, int hour, int minute, int second)
{
    struct tm t;
    std::memset(&t, 0, sizeof t);
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    return t;
}

struct Result {
    std::string line;
    std::string direction;
    unsigned icon;
};

Result RunCase(const HeapFrame& frame, const char* adapter, int32_t colorSend, int32_t colorRecv,
           const char* timeText)
{
    PacketSummary summary;
    SummarizePacket(frame.ipView(), frame.ipLength(), adapter, colorSend, colorRecv, &summary);
    PacketDetail detail;
    DescribePacket(frame.ipView(), frame.ipLength(), &detail);
    char line[PACKET_LINE_SIZE];
    size_t length = FormatLogLine(timeText, summary, detail, line, sizeof line);
    EXPECT_EQ(std::strlen(line), length);
    return { std::string(line, length), summary.direction, summary.iconId };
}

const char* const kTime = "2013/11/05 09:07:03";
const Bytes kAdapter = { 192, 168, 1, 10 };
const Bytes kServer = { 203, 0, 113, 7 };
const Bytes kLinkLocal = { 0xfe, 0x80, 0, 0, 0, 0, 0, 0, 0x02, 0x12, 0x34, 0xff, 0xfe, 0x56, 0x78, 0x9a };
const Bytes kAllNodes = { 0xff, 0x02, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x01 };

struct Case {
    const char* name;
    Bytes frame;
    size_t captured; // 0: the whole frame
    const char* adapter;
    int32_t colorSend;
    int32_t colorRecv;
    const char* line;
    const char* direction;
    unsigned icon;
};

std::vector<Case> Cases()
{
    Bytes arpPayload = { 0x00, 0x01, 0x08, 0x00, 0x06, 0x04, 0x00, 0x01,
                         0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 192, 168, 1, 1,
                         0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 192, 168, 1, 10 };
    return {
        { "worked example: HTTPS reply is RECV", Ipv4(6, kServer, kAdapter, Ports(443, 51000)), 0,
          "192.168.1.10", 1, 2,
          "Time=2013/11/05 09:07:03\tRECV\tIPv4\tProtocol=TCP\tPort=HTTPS\tSend Address=203.0.113.7\tRecv Address=192.168.1.10\n",
          "RECV", ICON_YELLOW },
        { "worked example: request is SEND with its source port", Ipv4(6, kAdapter, kServer, Ports(51000, 443)), 0,
          "192.168.1.10", 1, 2,
          "Time=2013/11/05 09:07:03\tSEND\tIPv4\tProtocol=TCP\tPort=51000\tSend Address=192.168.1.10\tRecv Address=203.0.113.7\n",
          "SEND", ICON_RED },
        { "IPv4 TCP from another host to port 80 logs the source port", Ipv4(6, { 10, 0, 0, 2 }, kServer, Ports(49200, 80)), 0,
          "192.168.1.10", 1, 2,
          "Time=2013/11/05 09:07:03\tRECV\tIPv4\tProtocol=TCP\tPort=49200\tSend Address=10.0.0.2\tRecv Address=203.0.113.7\n",
          "RECV", ICON_YELLOW },
        { "UDP 53 is DNS", Ipv4(17, { 8, 8, 8, 8 }, kAdapter, Ports(53, 40000)), 0,
          "192.168.1.10", 1, 2,
          "Time=2013/11/05 09:07:03\tRECV\tIPv4\tProtocol=UDP\tPort=DNS\tSend Address=8.8.8.8\tRecv Address=192.168.1.10\n",
          "RECV", ICON_YELLOW },
        { "TCP 53 keeps its number", Ipv4(6, { 8, 8, 8, 8 }, kAdapter, Ports(53, 40000)), 0,
          "192.168.1.10", 1, 2,
          "Time=2013/11/05 09:07:03\tRECV\tIPv4\tProtocol=TCP\tPort=53\tSend Address=8.8.8.8\tRecv Address=192.168.1.10\n",
          "RECV", ICON_YELLOW },
        { "UDP 68 is DHCP", Ipv4(17, kAdapter, { 255, 255, 255, 255 }, Ports(68, 67)), 0,
          "192.168.1.10", 1, 2,
          "Time=2013/11/05 09:07:03\tSEND\tIPv4\tProtocol=UDP\tPort=DHCP\tSend Address=192.168.1.10\tRecv Address=255.255.255.255\n",
          "SEND", ICON_RED },
        { "UDP 67 is DHCP", Ipv4(17, { 192, 168, 1, 1 }, kAdapter, Ports(67, 68)), 0,
          "192.168.1.10", 1, 2,
          "Time=2013/11/05 09:07:03\tRECV\tIPv4\tProtocol=UDP\tPort=DHCP\tSend Address=192.168.1.1\tRecv Address=192.168.1.10\n",
          "RECV", ICON_YELLOW },
        { "UDP 25 keeps its number", Ipv4(17, { 1, 2, 3, 4 }, kAdapter, Ports(25, 9)), 0,
          "192.168.1.10", 1, 2,
          "Time=2013/11/05 09:07:03\tRECV\tIPv4\tProtocol=UDP\tPort=25\tSend Address=1.2.3.4\tRecv Address=192.168.1.10\n",
          "RECV", ICON_YELLOW },
        { "ICMP echo request: Protocol=1, Port=2048", Ipv4(1, kAdapter, kServer, { 8, 0, 0xf7, 0xff, 0, 1, 0, 1 }), 0,
          "192.168.1.10", 1, 2,
          "Time=2013/11/05 09:07:03\tSEND\tIPv4\tProtocol=1\tPort=2048\tSend Address=192.168.1.10\tRecv Address=203.0.113.7\n",
          "SEND", ICON_RED },
        { "IPv4 from 127.0.0.1 is SEND whatever the adapter", Ipv4(6, { 127, 0, 0, 1 }, { 127, 0, 0, 1 }, Ports(80, 50000)), 0,
          "192.168.1.10", 1, 2,
          "Time=2013/11/05 09:07:03\tSEND\tIPv4\tProtocol=TCP\tPort=HTTP\tSend Address=127.0.0.1\tRecv Address=127.0.0.1\n",
          "SEND", ICON_RED },
        { "IPv4 from 127.0.0.1 is SEND with no adapter", Ipv4(17, { 127, 0, 0, 1 }, { 127, 0, 0, 1 }, Ports(123, 123)), 0,
          nullptr, 1, 2,
          "Time=2013/11/05 09:07:03\tSEND\tIPv4\tProtocol=UDP\tPort=NTP\tSend Address=127.0.0.1\tRecv Address=127.0.0.1\n",
          "SEND", ICON_RED },
        { "no adapter: the adapter-like source is RECV", Ipv4(6, kAdapter, kServer, Ports(51000, 443)), 0,
          nullptr, 1, 2,
          "Time=2013/11/05 09:07:03\tRECV\tIPv4\tProtocol=TCP\tPort=51000\tSend Address=192.168.1.10\tRecv Address=203.0.113.7\n",
          "RECV", ICON_YELLOW },
        { "IPv6 is RECV with the long address forms", Ipv6(0x60, 0x00, 17, kLinkLocal, kAllNodes, Ports(546, 547)), 0,
          "192.168.1.10", 1, 2,
          "Time=2013/11/05 09:07:03\tRECV\tIPv6\tProtocol=UDP\tPort=546\tSend Address=fe80:0000:0000:0000:0212:34ff:fe56:789a % 6000\tRecv Address=ff02:0000:0000:0000:0000:0000:0000:0001 % xx\n",
          "RECV", ICON_YELLOW },
        { "IPv6 traffic class and ICMPv6 (58)", Ipv6(0x6e, 0xa5, 58, kAllNodes, kLinkLocal, { 0x87, 0x00, 0x12, 0x34 }), 0,
          "192.168.1.10", 2, 1,
          "Time=2013/11/05 09:07:03\tRECV\tIPv6\tProtocol=58\tPort=34560\tSend Address=ff02:0000:0000:0000:0000:0000:0000:0001 % 6ea5\tRecv Address=fe80:0000:0000:0000:0212:34ff:fe56:789a % xx\n",
          "RECV", ICON_RED },
        { "55-byte IPv6 frame: the port's low byte lies beyond and reads 0", Ipv6(0x60, 0x00, 6, kLinkLocal, kAllNodes, Ports(443, 1)), 55,
          "192.168.1.10", 1, 2,
          "Time=2013/11/05 09:07:03\tRECV\tIPv6\tProtocol=TCP\tPort=256\tSend Address=fe80:0000:0000:0000:0212:34ff:fe56:789a % 6000\tRecv Address=ff02:0000:0000:0000:0000:0000:0000:0001 % xx\n",
          "RECV", ICON_YELLOW },
        { "34-byte IPv4 frame: the port lies beyond and reads 0", Ipv4(6, kServer, kAdapter, Ports(443, 51000)), 34,
          "192.168.1.10", 1, 2,
          "Time=2013/11/05 09:07:03\tRECV\tIPv4\tProtocol=TCP\tPort=0\tSend Address=203.0.113.7\tRecv Address=192.168.1.10\n",
          "RECV", ICON_YELLOW },
        { "32-byte IPv4 frame: the destination is cut after two bytes", Ipv4(6, kServer, kAdapter, Ports(443, 51000)), 32,
          "192.168.1.10", 1, 2,
          "Time=2013/11/05 09:07:03\tRECV\tIPv4\tProtocol=TCP\tPort=0\tSend Address=203.0.113.7\tRecv Address=192.168.0.0\n",
          "RECV", ICON_YELLOW },
        { "14-byte frame: an empty IP view reads as zeros", Ipv4(6, kServer, kAdapter, Ports(443, 51000)), 14,
          "192.168.1.10", 1, 2,
          "Time=2013/11/05 09:07:03\tRECV\tIPv4\tProtocol=0\tPort=0\tSend Address=0.0.0.0\tRecv Address=0.0.0.0\n",
          "RECV", ICON_YELLOW },
        { "6-byte frame: shorter than the Ethernet header", Ipv4(6, kServer, kAdapter, Ports(443, 51000)), 6,
          "192.168.1.10", 1, 2,
          "Time=2013/11/05 09:07:03\tRECV\tIPv4\tProtocol=0\tPort=0\tSend Address=0.0.0.0\tRecv Address=0.0.0.0\n",
          "RECV", ICON_YELLOW },
        { "ARP frame takes the IPv4 path with whatever its bytes hold", Ethernet(0x0806, arpPayload), 0,
          "192.168.1.10", 1, 2,
          "Time=2013/11/05 09:07:03\tRECV\tIPv4\tProtocol=UDP\tPort=0\tSend Address=68.85.192.168\tRecv Address=1.1.0.0\n",
          "RECV", ICON_YELLOW },
    };
}

} // namespace

TEST(PacketText, LinesDirectionsAndIcons)
{
    for (const Case& c : Cases()) {
        SCOPED_TRACE(c.name);
        HeapFrame frame(c.frame, c.captured == 0 ? c.frame.size() : c.captured);
        Result result = RunCase(frame, c.adapter, c.colorSend, c.colorRecv, kTime);
        EXPECT_EQ(c.line, result.line);
        EXPECT_EQ(c.direction, result.direction);
        EXPECT_EQ(c.icon, result.icon);
    }
}

TEST(PacketText, ColourValues)
{
    EXPECT_EQ(static_cast<unsigned>(ICON_YELLOW), LampIconOfColour(0));
    EXPECT_EQ(static_cast<unsigned>(ICON_RED), LampIconOfColour(1));
    EXPECT_EQ(static_cast<unsigned>(ICON_YELLOW), LampIconOfColour(2));
    EXPECT_EQ(static_cast<unsigned>(ICON_YELLOW), LampIconOfColour(3));
    EXPECT_EQ(static_cast<unsigned>(ICON_YELLOW), LampIconOfColour(-1));

    Bytes out = Ipv4(6, kAdapter, kServer, Ports(51000, 443));
    Bytes in = Ipv4(6, kServer, kAdapter, Ports(443, 51000));
    HeapFrame sent(out, out.size());
    HeapFrame received(in, in.size());
    for (int32_t colour : { 0, 1, 2, 3 }) {
        SCOPED_TRACE(colour);
        unsigned expected = colour == 1 ? ICON_RED : ICON_YELLOW;
        PacketSummary summary;
        // The send colour applies to SEND only, the receive colour to RECV only.
        SummarizePacket(sent.ipView(), sent.ipLength(), "192.168.1.10", colour, 1 - colour, &summary);
        EXPECT_STREQ("SEND", summary.direction);
        EXPECT_EQ(expected, summary.iconId);
        SummarizePacket(received.ipView(), received.ipLength(), "192.168.1.10", 1 - colour, colour, &summary);
        EXPECT_STREQ("RECV", summary.direction);
        EXPECT_EQ(expected, summary.iconId);
    }
}

TEST(PacketText, AdapterComparisonIsWholeTextAndExact)
{
    Bytes frame = Ipv4(6, kAdapter, kServer, Ports(51000, 443));
    HeapFrame heap(frame, frame.size());
    PacketSummary summary;
    for (const char* adapter : { "192.168.1.1", "192.168.1.100", "192.168.1.10 ", "", "192.168.001.010" }) {
        SCOPED_TRACE(adapter);
        SummarizePacket(heap.ipView(), heap.ipLength(), adapter, 1, 2, &summary);
        EXPECT_STREQ("RECV", summary.direction);
        EXPECT_STREQ("192.168.1.10", summary.sourceText);
    }
}

TEST(PacketText, TimeText)
{
    char text[PACKET_TIME_SIZE];
    EXPECT_EQ(19u, FormatPacketTime(LocalTime(2015, 1, 1, 0, 0, 5), text, sizeof text));
    EXPECT_STREQ("2015/01/01 00:00:05", text);
    EXPECT_EQ(19u, FormatPacketTime(LocalTime(2013, 11, 5, 9, 7, 3), text, sizeof text));
    EXPECT_STREQ("2013/11/05 09:07:03", text);
    EXPECT_EQ(19u, FormatPacketTime(LocalTime(1999, 12, 31, 23, 59, 60), text, sizeof text));
    EXPECT_STREQ("1999/12/31 23:59:60", text);
    // Out-of-range fields are printed as printf's "%4.4d"/"%2.2d" would.
    EXPECT_STREQ("0999/01/01 00:00:00", (FormatPacketTime(LocalTime(999, 1, 1, 0, 0, 0), text, sizeof text), text));
    EXPECT_STREQ("-0001/00/-01 00:00:00", (FormatPacketTime(LocalTime(-1, 0, -1, 0, 0, 0), text, sizeof text), text));
    EXPECT_STREQ("10000/01/01 00:00:00", (FormatPacketTime(LocalTime(10000, 1, 1, 0, 0, 0), text, sizeof text), text));

    // The time text of a real conversion in the process's time zone.
    time_t seconds = 1420070405; // 2015-01-01 00:00:05 UTC
    struct tm local;
    ASSERT_NE(nullptr, localtime_r(&seconds, &local));
    char expected[64];
    std::strftime(expected, sizeof expected, "%Y/%m/%d %H:%M:%S", &local);
    FormatPacketTime(local, text, sizeof text);
    EXPECT_STREQ(expected, text);
    // The packet path's, made once per second of capture time: each second
    // its own text, also back and forth.
    PacketTimeText times;
    EXPECT_STREQ(expected, times.Of(seconds));
    time_t next = seconds + 1;
    ASSERT_NE(nullptr, localtime_r(&next, &local));
    std::strftime(expected + 32, 32, "%Y/%m/%d %H:%M:%S", &local);
    EXPECT_STREQ(expected + 32, times.Of(seconds + 1));
    EXPECT_STREQ(expected, times.Of(seconds));

    // Too small a buffer gives an empty text and 0.
    char small[19];
    EXPECT_EQ(0u, FormatPacketTime(LocalTime(2015, 1, 1, 0, 0, 5), small, sizeof small));
    EXPECT_STREQ("", small);
}

TEST(PacketText, ServiceNameTable)
{
    struct Row { unsigned port; const char* protocol; const char* name; };
    const Row rows[] = {
        { 25, "TCP", "SMTP" }, { 53, "UDP", "DNS" }, { 67, "UDP", "DHCP" }, { 68, "UDP", "DHCP" },
        { 80, "TCP", "HTTP" }, { 110, "TCP", "POP3" }, { 119, "TCP", "NNTP" }, { 123, "UDP", "NTP" },
        { 143, "TCP", "IMAP" }, { 443, "TCP", "HTTPS" },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.port);
        EXPECT_STREQ(row.name, ServiceNameOf(row.port, row.protocol));
        const char* other = std::strcmp(row.protocol, "TCP") == 0 ? "UDP" : "TCP";
        EXPECT_EQ(nullptr, ServiceNameOf(row.port, other));
        EXPECT_EQ(nullptr, ServiceNameOf(row.port, "1"));
    }
    EXPECT_EQ(nullptr, ServiceNameOf(8080, "TCP"));
    EXPECT_EQ(nullptr, ServiceNameOf(443 + 65536, "TCP"));
}

TEST(PacketText, LogLineThatDoesNotFitIsEmpty)
{
    Bytes frame = Ipv6(0x60, 0x00, 17, kLinkLocal, kAllNodes, Ports(546, 547));
    HeapFrame heap(frame, frame.size());
    PacketSummary summary;
    SummarizePacket(heap.ipView(), heap.ipLength(), nullptr, 1, 2, &summary);
    PacketDetail detail;
    DescribePacket(heap.ipView(), heap.ipLength(), &detail);
    char line[PACKET_LINE_SIZE];
    size_t full = FormatLogLine(kTime, summary, detail, line, sizeof line);
    ASSERT_GT(full, 0u);
    std::vector<char> exact(full + 1);
    EXPECT_EQ(full, FormatLogLine(kTime, summary, detail, exact.data(), exact.size()));
    std::vector<char> shortBy1(full);
    EXPECT_EQ(0u, FormatLogLine(kTime, summary, detail, shortBy1.data(), shortBy1.size()));
    EXPECT_EQ('\0', shortBy1[0]);
}

TEST(PacketText, Ipv6DirectionByTheAdaptersOwnAddresses)
{
    const Bytes global = { 0x20, 0x01, 0x0d, 0xb8, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x10 };
    const Bytes temporary = { 0x20, 0x01, 0x0d, 0xb8, 0, 1, 0, 0, 0x5c, 0x3a, 0x91, 0x07, 0x44, 0xe2, 0x10, 0x0b };
    const Bytes foreign = { 0x26, 0x06, 0x47, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x11 };
    const Bytes loopback = { 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1 };
    OwnIpv6Addresses own = {};
    for (const Bytes* address : { &global, &temporary, &kLinkLocal })
        std::memcpy(own.address[own.count++], address->data(), 16);
    const struct {
        const char* what;
        Bytes source;
        size_t captured; // of the frame, Ethernet header included
        const OwnIpv6Addresses* table;
        const char* direction;
    } cases[] = {
        { "own global", global, 64, &own, "SEND" },
        { "own temporary", temporary, 64, &own, "SEND" },
        { "own link-local", kLinkLocal, 64, &own, "SEND" },
        { "loopback", loopback, 64, nullptr, "SEND" },
        { "foreign", foreign, 64, &own, "RECV" },
        { "own, no table", global, 64, nullptr, "RECV" },
        { "own, captured up to the source's last byte", global, 14 + 24, &own, "SEND" },
        { "own, cut inside the source", global, 14 + 23, &own, "RECV" },
        { "loopback cut inside the source", loopback, 14 + 23, nullptr, "RECV" },
    };
    for (const auto& c : cases) {
        Bytes whole = Ipv6(0x60, 0, 6, c.source, foreign, Ports(443, 51000));
        HeapFrame frame(whole, std::min(c.captured, whole.size()));
        PacketSummary summary;
        SummarizePacket(frame.ipView(), frame.ipLength(), "192.168.1.10", 1, 2, &summary, c.table);
        EXPECT_STREQ(c.direction, summary.direction) << c.what;
        EXPECT_EQ(std::strcmp(c.direction, "SEND") == 0 ? ICON_RED : ICON_YELLOW, summary.iconId) << c.what;
    }
    // Addresses beyond the table's size are not read.
    own.count = 1000;
    Bytes whole = Ipv6(0x60, 0, 6, foreign, global, Ports(443, 51000));
    HeapFrame frame(whole, whole.size());
    PacketSummary summary;
    SummarizePacket(frame.ipView(), frame.ipLength(), nullptr, 1, 2, &summary, &own);
    EXPECT_STREQ("RECV", summary.direction);
}
