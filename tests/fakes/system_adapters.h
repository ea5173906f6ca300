// The adapters the system's IP Helper reports with an IPv4 address (under
// Wine: this machine's interfaces), with the name in the ANSI code page; and
// one with an IPv6 address of its own.
// Test-side code shared by the Wine tests and the end-to-end runs; the
// product has its own, stricter reading (adapters/system_adapters_win.cpp).
#pragma once
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <iphlpapi.h>
#include <cstring>
#include <string>
#include <vector>

struct SystemAdapter {
    std::string guid, name, address;
};

// One family's adapters (AF_INET, AF_INET6), kept in buffer; null if unreadable.
inline IP_ADAPTER_ADDRESSES* IpHelperAdapters(ULONG family, std::vector<unsigned char>* buffer)
{
    ULONG size = 64 * 1024;
    buffer->assign(size, 0);
    auto* adapters = reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer->data());
    ULONG flags = GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER;
    return GetAdaptersAddresses(family, flags, nullptr, adapters, &size) == NO_ERROR ? adapters : nullptr;
}

inline std::vector<SystemAdapter> SystemAdaptersWithIpv4()
{
    std::vector<SystemAdapter> found;
    std::vector<unsigned char> buffer;
    for (auto* adapter = IpHelperAdapters(AF_INET, &buffer); adapter != nullptr; adapter = adapter->Next) {
        if (adapter->FirstUnicastAddress == nullptr)
            continue;
        auto* address = reinterpret_cast<sockaddr_in*>(adapter->FirstUnicastAddress->Address.lpSockaddr);
        const unsigned char* b = reinterpret_cast<const unsigned char*>(&address->sin_addr);
        char name[500] = "";
        WideCharToMultiByte(CP_ACP, 0, adapter->FriendlyName, -1, name, sizeof name, nullptr, nullptr);
        found.push_back({ adapter->AdapterName, name,
                          std::to_string(b[0]) + "." + std::to_string(b[1]) + "." + std::to_string(b[2]) + "."
                              + std::to_string(b[3]) });
    }
    return found;
}

// The first adapter the IP Helper reports with an IPv6 address of its own
// (::1 aside, which every machine sends from): its GUID and that address.
// False when no adapter has one.
inline bool SystemAdapterWithOwnIpv6(std::string* guid, unsigned char address[16])
{
    static const unsigned char loopback[16] = { 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1 };
    std::vector<unsigned char> buffer;
    for (auto* adapter = IpHelperAdapters(AF_INET6, &buffer); adapter != nullptr; adapter = adapter->Next)
        for (auto* unicast = adapter->FirstUnicastAddress; unicast != nullptr; unicast = unicast->Next) {
            auto* ipv6 = reinterpret_cast<const sockaddr_in6*>(unicast->Address.lpSockaddr);
            if (ipv6 == nullptr || ipv6->sin6_family != AF_INET6 || std::memcmp(&ipv6->sin6_addr, loopback, 16) == 0)
                continue;
            *guid = adapter->AdapterName;
            std::memcpy(address, &ipv6->sin6_addr, 16);
            return true;
        }
    return false;
}
