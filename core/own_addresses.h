// The addresses that make a frame "sent by this machine": the adapter's
// IPv4 address and its IPv6 unicast addresses. Plain data: the packet path
// reads them for every frame, the GUI thread reads them from the system.
#pragma once
#include <cstring>

// More than OWN_IPV6_MAX IPv6 addresses are not kept.
enum { OWN_IPV6_MAX = 32, OWN_IPV4_TEXT_SIZE = 16 };

struct OwnIpv6Addresses {
    unsigned count;
    unsigned char address[OWN_IPV6_MAX][16];
};

struct OwnAddresses {
    char ipv4[OWN_IPV4_TEXT_SIZE];  // dotted decimal, "" when it has none
    OwnIpv6Addresses ipv6;
};

// Whether the 16 bytes of an IPv6 address are ::1.
inline bool IsIpv6Loopback(const unsigned char* address)
{
    static const unsigned char kLoopback[16] = { 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1 };
    return std::memcmp(address, kLoopback, 16) == 0;
}

// a.b.c.d as ::ffff:a.b.c.d, the form in which a dual-stack socket holds
// its IPv4 peers.
inline void MapIpv4(const unsigned char ipv4[4], unsigned char out[16])
{
    std::memset(out, 0, 10);
    out[10] = out[11] = 0xff;
    std::memcpy(out + 12, ipv4, 4);
}

// Whether an IPv6 address is one of own's (own may be null: none).
inline bool HasOwnIpv6(const OwnIpv6Addresses* own, const unsigned char* address)
{
    if (own == nullptr)
        return false;
    unsigned count = own->count < OWN_IPV6_MAX ? own->count : static_cast<unsigned>(OWN_IPV6_MAX);
    for (unsigned i = 0; i < count; ++i)
        if (std::memcmp(address, own->address[i], 16) == 0)
            return true;
    return false;
}
