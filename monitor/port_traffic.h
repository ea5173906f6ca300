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

// Counters that only grow, for one writer (the capture thread; a run that is
// stopping counts nothing, so two never write at once) and one reader (the
// GUI thread, which takes differences between its readings, as it does for
// the rates). Lives in static storage: its pages are touched only for the
// ports that count.
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
            unsigned key = PortKey(ends.end[i].protocol, ends.end[i].port, ends.end[i].direction);
            Add(&bytes_[key], length);
            std::atomic<uint64_t>& word = seen_[key >> 6];
            uint64_t bits = word.load(std::memory_order_relaxed);
            uint64_t bit = uint64_t{ 1 } << (key & 63);
            if ((bits & bit) == 0)
                word.store(bits | bit, std::memory_order_release);
        }
    }

    uint64_t Bytes(unsigned key) const { return bytes_[key].load(std::memory_order_relaxed); }
    uint64_t OtherBytes(unsigned direction) const { return other_[direction].load(std::memory_order_relaxed); }
    // The first key at or after from that has ever counted; PORT_KEYS when none.
    unsigned NextSeen(unsigned from) const;

private:
    static void Add(std::atomic<uint64_t>* counter, uint32_t length)
    {
        counter->store(counter->load(std::memory_order_relaxed) + length, std::memory_order_relaxed);
    }

    std::atomic<uint64_t> bytes_[PORT_KEYS];
    std::atomic<uint64_t> seen_[PORT_KEYS / 64];
    std::atomic<uint64_t> other_[2];
};
