#include "monitor/port_traffic.h"
#include <cstring>

namespace {

const size_t ETHERNET_HEADER = 14;
const size_t IPV4_MIN_HEADER = 20;
const size_t IPV6_HEADER = 40;
const unsigned IP_TCP = 6;
const unsigned IP_UDP = 17;

unsigned PortAt(const unsigned char* bytes)
{
    return static_cast<unsigned>(bytes[0]) << 8 | bytes[1];
}

// Fills the ends from the addresses' verdicts; transport: the first bytes of
// TCP or UDP, or null when they were not captured.
void SetEnds(bool sourceLocal, bool destinationLocal, unsigned protocol, const unsigned char* transport,
             FrameEnds* out)
{
    out->direction = sourceLocal ? PORT_SENT : PORT_RECEIVED;
    if (transport == nullptr || (protocol != IP_TCP && protocol != IP_UDP))
        return;
    unsigned portProtocol = protocol == IP_TCP ? PORT_TCP : PORT_UDP;
    out->peerPort[PORT_RECEIVED] = PortAt(transport);
    out->peerPort[PORT_SENT] = PortAt(transport + 2);
    if (sourceLocal)
        out->end[out->count++] = PortEnd{ portProtocol, PortAt(transport), PORT_SENT };
    if (destinationLocal)
        out->end[out->count++] = PortEnd{ portProtocol, PortAt(transport + 2), PORT_RECEIVED };
}

void Ipv4Ends(const unsigned char* ip, size_t length, bool groupDestination, const OwnEnds& own, FrameEnds* out)
{
    if (length < IPV4_MIN_HEADER || ip[0] >> 4 != 4)
        return;
    const unsigned char* source = ip + 12;
    const unsigned char* destination = ip + 16;
    MapIpv4(source, reinterpret_cast<unsigned char*>(out->address[PORT_RECEIVED]));
    MapIpv4(destination, reinterpret_cast<unsigned char*>(out->address[PORT_SENT]));
    bool loopback = source[0] == 127 && destination[0] == 127;
    bool sourceLocal = loopback || (own.hasIpv4 && std::memcmp(source, own.ipv4, 4) == 0);
    bool destinationLocal = loopback || (own.hasIpv4 && std::memcmp(destination, own.ipv4, 4) == 0);
    // Multicast (224.0.0.0/4) and the limited broadcast go to no one port.
    bool group = groupDestination || (destination[0] & 0xF0) == 0xE0
                 || (destination[0] == 255 && destination[1] == 255 && destination[2] == 255 && destination[3] == 255);
    size_t headerLength = static_cast<size_t>(ip[0] & 0x0F) * 4;
    bool laterFragment = ((ip[6] & 0x1F) << 8 | ip[7]) != 0;
    const unsigned char* transport = nullptr;
    if (!group && !laterFragment && headerLength >= IPV4_MIN_HEADER && headerLength + 4 <= length)
        transport = ip + headerLength;
    SetEnds(sourceLocal, destinationLocal, ip[9], transport, out);
}

void Ipv6Ends(const unsigned char* ip, size_t length, bool groupDestination, const OwnEnds& own, FrameEnds* out)
{
    if (length < IPV6_HEADER || ip[0] >> 4 != 6)
        return;
    const unsigned char* source = ip + 8;
    const unsigned char* destination = ip + 24;
    std::memcpy(out->address[PORT_RECEIVED], source, 16);
    std::memcpy(out->address[PORT_SENT], destination, 16);
    bool loopback = IsIpv6Loopback(source) && IsIpv6Loopback(destination);
    bool sourceLocal = loopback || HasOwnIpv6(own.ipv6, source);
    bool destinationLocal = loopback || HasOwnIpv6(own.ipv6, destination);
    bool group = groupDestination || destination[0] == 0xFF;
    // Only a transport header right after the fixed one is read: one behind
    // extension headers counts as other traffic.
    const unsigned char* transport = !group && IPV6_HEADER + 4 <= length ? ip + IPV6_HEADER : nullptr;
    SetEnds(sourceLocal, destinationLocal, ip[6], transport, out);
}

} // namespace

void SetOwnIpv4(const char* text, OwnEnds* own)
{
    own->hasIpv4 = false;
    if (text == nullptr)
        return;
    unsigned char bytes[4];
    const char* p = text;
    for (int i = 0; i < 4; ++i) {
        if (i > 0 && *p++ != '.')
            return;
        unsigned value = 0;
        int digits = 0;
        for (; *p >= '0' && *p <= '9' && digits < 4; ++p, ++digits)
            value = value * 10 + static_cast<unsigned>(*p - '0');
        if (digits == 0 || digits > 3 || value > 255)
            return;
        bytes[i] = static_cast<unsigned char>(value);
    }
    if (*p != '\0')
        return;
    std::memcpy(own->ipv4, bytes, 4);
    own->hasIpv4 = true;
}

void FrameEndsOf(const unsigned char* frame, size_t captured, const OwnEnds& own, FrameEnds* out)
{
    out->count = 0;
    out->direction = PORT_RECEIVED;
    if (frame == nullptr || captured < ETHERNET_HEADER)
        return;
    // The destination's group bit: broadcast or multicast on the wire.
    bool groupDestination = (frame[0] & 1) != 0;
    unsigned type = PortAt(frame + 12);
    const unsigned char* ip = frame + ETHERNET_HEADER;
    size_t length = captured - ETHERNET_HEADER;
    if (type == 0x0800)
        Ipv4Ends(ip, length, groupDestination, own, out);
    else if (type == 0x86DD)
        Ipv6Ends(ip, length, groupDestination, own, out);
}

unsigned PortTraffic::NextSeen(unsigned from) const
{
    for (unsigned word = from >> 6; word < PORT_KEYS / 64; ++word) {
        uint64_t bits = seen_[word].load(std::memory_order_acquire);
        if (word == from >> 6)
            bits &= ~uint64_t{ 0 } << (from & 63);
        if (bits != 0) {
            unsigned bit = 0;
            while ((bits & (uint64_t{ 1 } << bit)) == 0)
                ++bit;
            return word * 64 + bit;
        }
    }
    return PORT_KEYS;
}

bool PortTraffic::PeerOfVersion(unsigned port, uint32_t version, PortPeer* out) const
{
    if (version == 0 || (version & 1) != 0)
        return false;
    const TcpPort& slot = tcp_[port];
    const auto relaxed = std::memory_order_relaxed;
    uint64_t remote[2] = { slot.remote[0].load(relaxed), slot.remote[1].load(relaxed) };
    uint32_t remotePort = slot.remotePort.load(relaxed);
    std::atomic_thread_fence(std::memory_order_acquire);
    if (slot.version.load(relaxed) != version)
        return false;
    std::memcpy(out->remote, remote, 16);
    out->remotePort = remotePort;
    return true;
}
