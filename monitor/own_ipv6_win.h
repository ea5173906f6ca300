#pragma once
#include "monitor/packet_text.h"

// The IPv6 unicast addresses (every scope) of the adapter whose GUID the
// capture device name carries, from the IP Helper API. None when the API or
// the adapter cannot be found; more than OWN_IPV6_MAX are not kept.
void CollectOwnIpv6Addresses(const char* deviceName, OwnIpv6Addresses* out);
