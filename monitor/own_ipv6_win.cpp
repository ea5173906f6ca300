#include "monitor/own_ipv6_win.h"
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <iphlpapi.h>
#include <cstring>
#include <vector>
#include "adapters/system_library_win.h"

namespace {

// The GUID in braces at the end of "\Device\NPF_{...}".
const char* DeviceGuid(const char* deviceName)
{
    const char* brace = std::strchr(deviceName, '{');
    return brace != nullptr ? brace : deviceName;
}

} // namespace

void CollectOwnIpv6Addresses(const char* deviceName, OwnIpv6Addresses* out)
{
    out->count = 0;
    GetAdaptersAddressesFn* getAdaptersAddresses = LoadGetAdaptersAddresses();
    if (getAdaptersAddresses == nullptr || deviceName == nullptr)
        return;
    const ULONG flags = GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER;
    std::vector<unsigned char> buffer(16 * 1024);
    ULONG status = ERROR_BUFFER_OVERFLOW;
    // The list may grow between two calls; a few tries are enough.
    for (int attempt = 0; attempt < 3 && status == ERROR_BUFFER_OVERFLOW; ++attempt) {
        ULONG size = static_cast<ULONG>(buffer.size());
        status = getAdaptersAddresses(AF_INET6, flags, nullptr,
                                      reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()), &size);
        if (status == ERROR_BUFFER_OVERFLOW)
            buffer.resize(size);
    }
    if (status != NO_ERROR)
        return;
    const char* guid = DeviceGuid(deviceName);
    for (auto* adapter = reinterpret_cast<const IP_ADAPTER_ADDRESSES*>(buffer.data()); adapter != nullptr;
         adapter = adapter->Next) {
        if (adapter->AdapterName == nullptr || lstrcmpiA(adapter->AdapterName, guid) != 0)
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
