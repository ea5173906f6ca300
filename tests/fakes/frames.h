// Ethernet frames as a capture hands them over, built byte by byte for the
// packet path's tests. Test-side code shared by the native and the Wine
// tests; portable, header only.
#pragma once
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace frames {

using Bytes = std::vector<unsigned char>;

// An Ethernet header (type given) followed by the payload.
inline Bytes Ethernet(uint16_t type, const Bytes& payload)
{
    const unsigned char header[] = { 0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0x99, 0xaa, 0xbb,
                                     static_cast<unsigned char>(type >> 8), static_cast<unsigned char>(type) };
    // Sized for the whole frame at once: growing a vector of just the
    // header's bytes trips GCC 12's -Warray-bounds at -O2, a false alarm.
    Bytes frame(sizeof header + payload.size());
    std::copy(header, header + sizeof header, frame.begin());
    std::copy(payload.begin(), payload.end(), frame.begin() + sizeof header);
    return frame;
}

// IPv4 in Ethernet: a header of 20 bytes (no options), then `l4`.
inline Bytes Ipv4(unsigned char protocol, const Bytes& source, const Bytes& destination, const Bytes& l4)
{
    size_t length = 20 + l4.size();
    Bytes ip = { 0x45, 0x00, static_cast<unsigned char>(length >> 8), static_cast<unsigned char>(length),
                 0x12, 0x34, 0x40, 0x00, 0x40, protocol, 0x00, 0x00 };
    ip.insert(ip.end(), source.begin(), source.end());
    ip.insert(ip.end(), destination.begin(), destination.end());
    ip.insert(ip.end(), l4.begin(), l4.end());
    return Ethernet(0x0800, ip);
}

// IPv6 in Ethernet: a header of 40 bytes whose first two bytes (version,
// traffic class, the flow label's first bits) are given, then `l4`.
inline Bytes Ipv6(unsigned char b0, unsigned char b1, unsigned char next, const Bytes& source,
                  const Bytes& destination, const Bytes& l4)
{
    Bytes ip = { b0, b1, 0x00, 0x00, static_cast<unsigned char>(l4.size() >> 8), static_cast<unsigned char>(l4.size()),
                 next, 0x40 };
    ip.insert(ip.end(), source.begin(), source.end());
    ip.insert(ip.end(), destination.begin(), destination.end());
    ip.insert(ip.end(), l4.begin(), l4.end());
    return Ethernet(0x86dd, ip);
}

// The first 8 bytes of TCP or UDP: the two ports, then zeros.
inline Bytes Ports(uint16_t source, uint16_t destination)
{
    return { static_cast<unsigned char>(source >> 8), static_cast<unsigned char>(source),
             static_cast<unsigned char>(destination >> 8), static_cast<unsigned char>(destination),
             0, 0, 0, 0 };
}

// "a.b.c.d" as its four bytes.
inline Bytes Dotted(const char* text)
{
    unsigned a = 0, b = 0, c = 0, d = 0;
    std::sscanf(text, "%u.%u.%u.%u", &a, &b, &c, &d);
    return { static_cast<unsigned char>(a), static_cast<unsigned char>(b), static_cast<unsigned char>(c),
             static_cast<unsigned char>(d) };
}

// The frame cut to its captured length, in a heap block of exactly that
// size, so that AddressSanitizer catches any read beyond the captured length.
struct HeapFrame {
    HeapFrame(const Bytes& frame, size_t captured)
        : size(captured < frame.size() ? captured : frame.size()), bytes(new unsigned char[size == 0 ? 1 : size])
    {
        std::memcpy(bytes.get(), frame.data(), size);
    }
    size_t size;
    std::unique_ptr<unsigned char[]> bytes;
    // The IP header's view behind the 14-byte Ethernet header.
    const unsigned char* ipView() const { return bytes.get() + (size < 14 ? size : 14); }
    size_t ipLength() const { return size < 14 ? 0 : size - 14; }
};

} // namespace frames
