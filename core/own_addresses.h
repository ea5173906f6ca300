// The addresses that make a frame "sent by this machine": the adapter's
// IPv4 address and its IPv6 unicast addresses. Plain data: the packet path
// reads them for every frame, the GUI thread reads them from the system.
#pragma once

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
