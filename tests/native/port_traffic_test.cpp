// Frames to their local ends (protocol, port, direction) and the byte
// counters behind them. Every frame is cut to the 64 bytes a capture keeps
// and lives in a heap block of exactly that size, so that AddressSanitizer
// catches any read beyond the captured length.
#include <gtest/gtest.h>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>
#include "monitor/port_traffic.h"
#include "tests/fakes/frames.h"

namespace {

using frames::Bytes;
using frames::Ethernet;
using frames::Ipv4;
using frames::Ipv6;
using frames::Ports;

const Bytes kAdapter = { 192, 168, 1, 10 };
const Bytes kServer = { 203, 0, 113, 7 };
const Bytes kOther = { 192, 168, 1, 20 };
const Bytes kLoop = { 127, 0, 0, 1 };
const Bytes kOwn6 = { 0x20, 0x01, 0x0d, 0xb8, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x0a };
const Bytes kServer6 = { 0x20, 0x01, 0x0d, 0xb8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x10 };
const Bytes kLoop6 = { 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1 };
const Bytes kAllNodes = { 0xff, 0x02, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x01 };

// IPv4 with `options` after the 20 fixed bytes (length in the first byte).
Bytes WithOptions(Bytes frame, const Bytes& options)
{
    frame[14] = static_cast<unsigned char>(0x40 | (20 + options.size()) / 4);
    frame.insert(frame.begin() + 34, options.begin(), options.end());
    return frame;
}

Bytes WithFragmentOffset(Bytes frame, unsigned offset)
{
    frame[20] = static_cast<unsigned char>(offset >> 8);
    frame[21] = static_cast<unsigned char>(offset);
    return frame;
}

Bytes ToBroadcastMac(Bytes frame)
{
    for (int i = 0; i < 6; ++i)
        frame[i] = 0xff;
    return frame;
}

// The frame's ends as text: "TCP 51000 sent, ..." or "other received".
std::string EndsText(const Bytes& whole, size_t captured)
{
    frames::HeapFrame frame(whole, captured);
    static OwnIpv6Addresses own6 = { 1, { { 0x20, 0x01, 0x0d, 0xb8, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x0a } } };
    OwnEnds own = { true, { 192, 168, 1, 10 }, &own6 };
    FrameEnds ends;
    FrameEndsOf(frame.bytes.get(), frame.size, own, &ends);
    if (ends.count == 0)
        return ends.direction == PORT_SENT ? "other sent" : "other received";
    std::string text;
    for (unsigned i = 0; i < ends.count; ++i) {
        char part[32];
        std::snprintf(part, sizeof part, "%s%s %u %s", i > 0 ? ", " : "", ends.end[i].protocol == PORT_TCP ? "TCP" : "UDP",
                      ends.end[i].port, ends.end[i].direction == PORT_SENT ? "sent" : "received");
        text += part;
    }
    return text;
}

struct Case {
    const char* name;
    Bytes frame;
    size_t captured;
    const char* ends;
};

} // namespace

TEST(PortTraffic, FramesToTheirLocalEnds)
{
    const Bytes icmp = { 8, 0, 0xf7, 0xff, 0, 1, 0, 1 };
    const Bytes arp = { 0x00, 0x01, 0x08, 0x00, 0x06, 0x04, 0x00, 0x01, 0x00, 0x11, 0x22, 0x33, 0x44, 0x55,
                        192, 168, 1, 1, 0, 0, 0, 0, 0, 0, 192, 168, 1, 10 };
    const Bytes hopByHop = { 6, 0, 1, 4, 0, 0, 0, 0 };
    const Case cases[] = {
        { "IPv4 TCP sent: the source port", Ipv4(6, kAdapter, kServer, Ports(51000, 443)), 64, "TCP 51000 sent" },
        { "IPv4 TCP received: the destination port", Ipv4(6, kServer, kAdapter, Ports(443, 51000)), 64, "TCP 51000 received" },
        { "IPv4 UDP received", Ipv4(17, kServer, kAdapter, Ports(53, 40000)), 64, "UDP 40000 received" },
        { "IPv4 with 8 bytes of options: the ports after them",
          WithOptions(Ipv4(17, kAdapter, kServer, Ports(5353, 53)), { 0x94, 0x04, 0, 0, 1, 1, 1, 0 }), 64, "UDP 5353 sent" },
        { "IPv4 with 40 bytes of options: the ports lie past 64 bytes",
          WithOptions(Ipv4(6, kAdapter, kServer, Ports(51000, 443)), Bytes(40, 1)), 64, "other sent" },
        { "IPv4 header length below 20", [] { Bytes f = Ipv4(6, kServer, kAdapter, Ports(443, 51000)); f[14] = 0x44; return f; }(),
          64, "other received" },
        { "the first fragment holds the ports", WithFragmentOffset(Ipv4(17, kServer, kAdapter, Ports(53, 40000)), 0x2000),
          64, "UDP 40000 received" },
        { "a later fragment holds none", WithFragmentOffset(Ipv4(17, kServer, kAdapter, Ports(53, 40000)), 0x00b9), 64,
          "other received" },
        { "IPv4 loopback: both ends", Ipv4(6, kLoop, { 127, 0, 0, 2 }, Ports(50000, 8080)), 64,
          "TCP 50000 sent, TCP 8080 received" },
        { "IPv4 ICMP", Ipv4(1, kAdapter, kServer, icmp), 64, "other sent" },
        { "IPv4 another protocol (GRE)", Ipv4(47, kServer, kAdapter, Ports(1, 2)), 64, "other received" },
        { "the limited broadcast", Ipv4(17, kAdapter, { 255, 255, 255, 255 }, Ports(68, 67)), 64, "other sent" },
        { "a subnet broadcast, told by the Ethernet address", ToBroadcastMac(Ipv4(17, kAdapter, { 192, 168, 1, 255 }, Ports(137, 137))),
          64, "other sent" },
        { "IPv4 multicast", Ipv4(17, kAdapter, { 224, 0, 0, 251 }, Ports(5353, 5353)), 64, "other sent" },
        { "another machine's frame", Ipv4(6, kOther, kServer, Ports(50000, 443)), 64, "other received" },
        { "cut before the ports", Ipv4(6, kServer, kAdapter, Ports(443, 51000)), 37, "other received" },
        { "cut before the addresses", Ipv4(6, kServer, kAdapter, Ports(443, 51000)), 30, "other received" },
        { "ARP", Ethernet(0x0806, arp), 64, "other received" },
        { "IPv6 TCP sent", Ipv6(0x60, 0, 6, kOwn6, kServer6, Ports(50443, 443)), 64, "TCP 50443 sent" },
        { "IPv6 UDP received", Ipv6(0x60, 0, 17, kServer6, kOwn6, Ports(443, 61000)), 64, "UDP 61000 received" },
        { "IPv6 loopback: both ends", Ipv6(0x60, 0, 17, kLoop6, kLoop6, Ports(6000, 7000)), 64,
          "UDP 6000 sent, UDP 7000 received" },
        { "IPv6 behind an extension header", Ipv6(0x60, 0, 0, kOwn6, kServer6, hopByHop), 64, "other sent" },
        { "IPv6 ICMPv6", Ipv6(0x60, 0, 58, kServer6, kOwn6, icmp), 64, "other received" },
        { "IPv6 multicast", Ipv6(0x60, 0, 17, kOwn6, kAllNodes, Ports(546, 547)), 64, "other sent" },
        { "IPv6 cut inside the ports", Ipv6(0x60, 0, 6, kServer6, kOwn6, Ports(443, 50443)), 57, "other received" },
        { "IPv6 between other machines", Ipv6(0x60, 0, 6, kServer6, kAllNodes, Ports(443, 50443)), 64, "other received" },
        { "shorter than the Ethernet header", Ipv4(6, kAdapter, kServer, Ports(51000, 443)), 6, "other received" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.ends, EndsText(c.frame, c.captured));
    }
}

TEST(PortTraffic, OwnIpv4Text)
{
    const struct {
        const char* text;
        bool has;
        unsigned char bytes[4];
    } rows[] = {
        { "192.168.1.10", true, { 192, 168, 1, 10 } }, { "0.0.0.0", true, { 0, 0, 0, 0 } },
        { "", false, {} },  { "1.2.3", false, {} },    { "1.2.3.4.5", false, {} },
        { "256.1.1.1", false, {} }, { "1.2.3.4 ", false, {} }, { "0001.2.3.4", false, {} },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        OwnEnds own = { true, { 9, 9, 9, 9 }, nullptr };
        SetOwnIpv4(row.text, &own);
        EXPECT_EQ(row.has, own.hasIpv4);
        if (row.has) {
            EXPECT_EQ(0, std::memcmp(row.bytes, own.ipv4, 4));
        }
    }
    OwnEnds none = { true, {}, nullptr };
    SetOwnIpv4(nullptr, &none);
    EXPECT_FALSE(none.hasIpv4);
}

TEST(PortTraffic, CountersGrowPerEndAndOther)
{
    static PortTraffic traffic;
    OwnEnds own = { true, { 192, 168, 1, 10 }, nullptr };
    const Bytes loop = Ipv4(6, kLoop, kLoop, Ports(50000, 8080));
    const Bytes sent = Ipv4(17, kAdapter, kServer, Ports(5353, 53));
    const Bytes icmpIn = Ipv4(1, kServer, kAdapter, { 0, 0, 0, 0 });
    traffic.Count(loop.data(), 64, 100, own);
    traffic.Count(sent.data(), 60, 70, own);
    traffic.Count(sent.data(), 60, 71, own);
    traffic.Count(icmpIn.data(), 42, 1000, own);

    EXPECT_EQ(100u, traffic.Bytes(PortKey(PORT_TCP, 50000, PORT_SENT)));
    EXPECT_EQ(100u, traffic.Bytes(PortKey(PORT_TCP, 8080, PORT_RECEIVED)));
    EXPECT_EQ(0u, traffic.Bytes(PortKey(PORT_TCP, 8080, PORT_SENT)));
    EXPECT_EQ(141u, traffic.Bytes(PortKey(PORT_UDP, 5353, PORT_SENT)));
    EXPECT_EQ(1000u, traffic.OtherBytes(PORT_RECEIVED));
    EXPECT_EQ(0u, traffic.OtherBytes(PORT_SENT));
    // A port's counter has 32 bits: past 2^32 it starts again.
    traffic.Count(sent.data(), 60, 0xFFFFFF00u, own);
    traffic.Count(sent.data(), 60, 0x200u, own);
    EXPECT_EQ(0x18Du, traffic.Bytes(PortKey(PORT_UDP, 5353, PORT_SENT)));

    // The keys that counted, in order: TCP 8080 received, TCP 50000 sent, UDP 5353 sent.
    std::vector<unsigned> seen;
    for (unsigned key = traffic.NextSeen(0); key < PORT_KEYS; key = traffic.NextSeen(key + 1))
        seen.push_back(key);
    const std::vector<unsigned> expected = { 8080u * 2, 50000u * 2 + 1, (1u << 17) + 5353u * 2 + 1 };
    EXPECT_EQ(expected, seen);
    PortEnd end = PortEndOfKey(expected[2]);
    EXPECT_EQ(static_cast<unsigned>(PORT_UDP), end.protocol);
    EXPECT_EQ(5353u, end.port);
    EXPECT_EQ(static_cast<unsigned>(PORT_SENT), end.direction);
}

namespace {

// The TCP port's peer as "0000:...:ffff:cb00:7107 443" (the 16 bytes in
// groups, the port), or "not known".
std::string PeerText(const PortTraffic& traffic, unsigned port)
{
    PortPeer peer;
    if (!traffic.Peer(port, &peer))
        return "not known";
    std::string text;
    for (int i = 0; i < 16; i += 2) {
        char group[8];
        std::snprintf(group, sizeof group, "%s%02x%02x", i > 0 ? ":" : "", peer.remote[i], peer.remote[i + 1]);
        text += group;
    }
    return text + " " + std::to_string(peer.remotePort);
}

} // namespace

TEST(PortTraffic, TcpPortsKeepTheirNewestPeer)
{
    static PortTraffic traffic;
    OwnIpv6Addresses own6 = { 1, { { 0x20, 0x01, 0x0d, 0xb8, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x0a } } };
    OwnEnds own = { true, { 192, 168, 1, 10 }, &own6 };
    const Bytes icmp = { 8, 0, 0xf7, 0xff, 0, 1, 0, 1 };
    const struct {
        const char* name;
        Bytes frame;  // counted first; empty: none
        size_t captured;
        unsigned port;
        const char* peer;
    } steps[] = {
        { "no frame of the port yet", Ipv4(1, kServer, kAdapter, icmp), 64, 51000, "not known" },
        { "received: the source", Ipv4(6, kServer, kAdapter, Ports(443, 51000)), 64, 51000,
          "0000:0000:0000:0000:0000:ffff:cb00:7107 443" },
        { "sent: the destination, which replaces the peer before", Ipv4(6, kAdapter, kOther, Ports(51000, 8080)), 64,
          51000, "0000:0000:0000:0000:0000:ffff:c0a8:0114 8080" },
        { "IPv6 sent", Ipv6(0x60, 0, 6, kOwn6, kServer6, Ports(50443, 443)), 64, 50443,
          "2001:0db8:0000:0000:0000:0000:0000:0010 443" },
        { "IPv6 received", Ipv6(0x60, 0, 6, kServer6, kOwn6, Ports(80, 50443)), 64, 50443,
          "2001:0db8:0000:0000:0000:0000:0000:0010 80" },
        { "loopback: the sending end's peer is the receiver", Ipv4(6, kLoop, { 127, 0, 0, 2 }, Ports(50000, 8081)), 64,
          50000, "0000:0000:0000:0000:0000:ffff:7f00:0002 8081" },
        { "loopback: the receiving end's peer is the sender", {}, 0, 8081,
          "0000:0000:0000:0000:0000:ffff:7f00:0001 50000" },
        { "UDP keeps no peer", Ipv4(17, kServer, kAdapter, Ports(53, 40000)), 64, 40000, "not known" },
        { "cut before the ports: no peer", Ipv4(6, kServer, kAdapter, Ports(443, 52000)), 37, 52000, "not known" },
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.name);
        if (!step.frame.empty()) {
            frames::HeapFrame frame(step.frame, step.captured);
            traffic.Count(frame.bytes.get(), frame.size, 60, own);
        }
        EXPECT_EQ(step.peer, PeerText(traffic, step.port));
    }
}

TEST(PortTraffic, APeerReadAcrossAWriteIsNotKnown)
{
    static PortTraffic traffic;
    OwnEnds own = { true, { 192, 168, 1, 10 }, nullptr };
    const Bytes first = Ipv4(6, kServer, kAdapter, Ports(443, 51000));
    const Bytes second = Ipv4(6, kOther, kAdapter, Ports(8080, 51000));
    traffic.Count(first.data(), 64, 60, own);
    uint32_t version = traffic.PeerVersion(51000);
    traffic.Count(second.data(), 64, 60, own);
    PortPeer peer = {};
    EXPECT_FALSE(traffic.PeerOfVersion(51000, version, &peer));
    EXPECT_EQ("0000:0000:0000:0000:0000:ffff:c0a8:0114 8080", PeerText(traffic, 51000));
}
