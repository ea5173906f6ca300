// Bytes per local port, counted on the packet path so that the GUI thread can
// tell which program is talking. A frame's local end is the port of this
// machine's side: the source port of a frame it sent, the destination port
// of one it received, both on loopback. What has no such end (ICMP, ARP,
// fragments after the first, broadcast and multicast, frames between other
// machines, a transport header that was not captured) is "Other traffic".
//
// Portable: the packet path (packet_win.cpp) and bench/packet_bench.cpp both
// count through PortTraffic::Count. Nothing here allocates or locks; no byte
// at or beyond the captured length is read.
#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include "core/own_addresses.h"

enum PortProtocol { PORT_TCP = 0, PORT_UDP = 1 };
enum PortDirection { PORT_RECEIVED = 0, PORT_SENT = 1 };
enum { PORT_KEYS = 2 * 65536 * 2 };

struct PortEnd {
    unsigned protocol;   // PortProtocol
    unsigned port;
    unsigned direction;  // PortDirection
};

// A frame's local ends: none (then it is "Other traffic", in direction),
// one, or two (loopback, or both addresses this machine's).
struct FrameEnds {
    unsigned count;
    PortEnd end[2];
    unsigned direction;  // count 0: sent when the source is this machine's
    // With count > 0, by PortDirection of the end whose peer they are: the
    // peer's address (16 bytes, IPv4 mapped, in memory order) and port, so
    // that an end's peer is [its direction] and its own address the other.
    uint64_t address[2][2];  // [PORT_RECEIVED]: the source's, [PORT_SENT]: the destination's
    unsigned peerPort[2];
};

// This machine's addresses as a frame's bytes hold them.
struct OwnEnds {
    bool hasIpv4;
    unsigned char ipv4[4];
    const OwnIpv6Addresses* ipv6;  // null: none
};

// The adapter's IPv4 text ("a.b.c.d") into own; anything else leaves it
// without one. ipv6 is left as it is.
void SetOwnIpv4(const char* text, OwnEnds* own);

// frame: the Ethernet frame from its first byte, captured bytes of it.
void FrameEndsOf(const unsigned char* frame, size_t captured, const OwnEnds& own, FrameEnds* out);

// One counter per (protocol, local port, direction).
inline unsigned PortKey(unsigned protocol, unsigned port, unsigned direction)
{
    return protocol << 17 | port << 1 | direction;
}
inline PortEnd PortEndOfKey(unsigned key)
{
    return PortEnd{ key >> 17, (key >> 1) & 0xFFFF, key & 1 };
}

// The newest peer of a TCP port: the other end of its last frame, its
// address IPv4-mapped (::ffff:a.b.c.d) as the owner tables' rows hold it
// (see MapIpv4).
struct PortPeer {
    unsigned char remote[16];
    unsigned remotePort;
};

// Byte counters per local end, and each TCP port's newest peer, for one
// writer (the capture thread; a run that is stopping counts nothing, so two
// never write at once) and one reader (the GUI thread). Lives in static
// storage: its pages are touched only for the ports that count.
//
// A counter has 32 bits and wraps: the reader takes differences between its
// readings (as it does for the rates) modulo 2^32, once a second, which is
// exact below 4 GiB a second through one port. The narrow counters keep a
// TCP port's counters and its peer in 32 bytes, one cache line's work for a
// frame, and the packet path's memory at that of 64-bit counters alone.
class PortTraffic {
public:
    // length: the frame's original length.
    void Count(const unsigned char* frame, size_t captured, uint32_t length, const OwnEnds& own)
    {
        FrameEnds ends;
        FrameEndsOf(frame, captured, own, &ends);
        if (ends.count == 0) {
            Add(&other_[ends.direction], length);
            return;
        }
        for (unsigned i = 0; i < ends.count; ++i) {
            const PortEnd& end = ends.end[i];
            if (end.protocol == PORT_TCP) {
                TcpPort& slot = tcp_[end.port];
                Add(&slot.bytes[end.direction], length);
                KeepPeer(&slot, ends, end.direction);
            } else {
                Add(&udp_[end.port].bytes[end.direction], length);
            }
            unsigned key = PortKey(end.protocol, end.port, end.direction);
            std::atomic<uint64_t>& word = seen_[key >> 6];
            uint64_t bits = word.load(std::memory_order_relaxed);
            uint64_t bit = uint64_t{ 1 } << (key & 63);
            if ((bits & bit) == 0)
                word.store(bits | bit, std::memory_order_release);
        }
    }

    uint32_t Bytes(unsigned key) const
    {
        PortEnd end = PortEndOfKey(key);
        const std::atomic<uint32_t>& counter =
            end.protocol == PORT_TCP ? tcp_[end.port].bytes[end.direction] : udp_[end.port].bytes[end.direction];
        return counter.load(std::memory_order_relaxed);
    }
    uint64_t OtherBytes(unsigned direction) const { return other_[direction].load(std::memory_order_relaxed); }
    // The first key at or after from that has ever counted; PORT_KEYS when none.
    unsigned NextSeen(unsigned from) const;

    // A TCP port's peer is read in two steps, so that a reading that a write
    // overlapped is told: its version first (0: no peer yet, odd: being
    // written), then the peer, which is not known (false) unless it is still
    // the one of that version. Peer does both.
    uint32_t PeerVersion(unsigned port) const { return tcp_[port].version.load(std::memory_order_acquire); }
    bool PeerOfVersion(unsigned port, uint32_t version, PortPeer* out) const;
    bool Peer(unsigned port, PortPeer* out) const { return PeerOfVersion(port, PeerVersion(port), out); }

private:
    struct alignas(32) TcpPort {
        std::atomic<uint32_t> bytes[2];
        std::atomic<uint32_t> version;
        std::atomic<uint32_t> remotePort;
        std::atomic<uint64_t> remote[2];
    };
    struct UdpPort {
        std::atomic<uint32_t> bytes[2];
    };

    template <class Counter>
    static void Add(std::atomic<Counter>* counter, uint32_t length)
    {
        counter->store(counter->load(std::memory_order_relaxed) + length, std::memory_order_relaxed);
    }

    // A seqlock with one writer: the version is odd while the peer is
    // written. The peer is written for every frame, not compared first: on a
    // port whose peers change from frame to frame the comparison's branch
    // costs more than the stores into the line the counter already took.
    static void KeepPeer(TcpPort* slot, const FrameEnds& ends, unsigned direction)
    {
        const uint64_t* remote = ends.address[direction];
        const auto relaxed = std::memory_order_relaxed;
        uint32_t version = slot->version.load(relaxed);
        slot->version.store(version + 1, relaxed);
        std::atomic_thread_fence(std::memory_order_release);
        slot->remotePort.store(ends.peerPort[direction], relaxed);
        slot->remote[0].store(remote[0], relaxed);
        slot->remote[1].store(remote[1], relaxed);
        slot->version.store(version + 2, std::memory_order_release);
    }

    TcpPort tcp_[65536];
    UdpPort udp_[65536];
    std::atomic<uint64_t> seen_[PORT_KEYS / 64];
    std::atomic<uint64_t> other_[2];
};
