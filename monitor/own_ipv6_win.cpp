#include "monitor/own_ipv6_win.h"
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <iphlpapi.h>
#include <cstring>
#include <vector>
#include "adapters/adapter_rows.h"
#include "adapters/system_library_win.h"

void CollectOwnIpv6Addresses(const char* deviceName, OwnIpv6Addresses* out)
{
    out->count = 0;
    std::vector<unsigned char> buffer;
    if (deviceName == nullptr || !QueryAdapterAddresses(AF_INET6, &buffer))
        return;
    for (auto* adapter = reinterpret_cast<const IP_ADAPTER_ADDRESSES*>(buffer.data()); adapter != nullptr;
         adapter = adapter->Next) {
        if (adapter->AdapterName == nullptr || !DeviceHasGuid(deviceName, adapter->AdapterName))
            continue;
        for (auto* unicast = adapter->FirstUnicastAddress; unicast != nullptr; unicast = unicast->Next) {
            const SOCKADDR* address = unicast->Address.lpSockaddr;
            if (address == nullptr || address->sa_family != AF_INET6
                || unicast->Address.iSockaddrLength < static_cast<INT>(sizeof(sockaddr_in6)))
                continue;
            if (out->count == OWN_IPV6_MAX)
                return;
            const sockaddr_in6* ipv6 = reinterpret_cast<const sockaddr_in6*>(address);
            std::memcpy(out->address[out->count++], &ipv6->sin6_addr, 16);
        }
        return;
    }
}
