// The adapters the system's IP Helper reports with an IPv4 address (under
// Wine: this machine's interfaces), with the name in the ANSI code page.
// Test-side code shared by the Wine tests and the end-to-end runs; the
// product has its own, stricter reading (adapters/system_adapters_win.cpp).
#pragma once
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <iphlpapi.h>
#include <string>
#include <vector>

struct SystemAdapter {
    std::string guid, name, address;
};

inline std::vector<SystemAdapter> SystemAdaptersWithIpv4()
{
    std::vector<SystemAdapter> found;
    ULONG size = 64 * 1024;
    std::vector<unsigned char> buffer(size);
    auto* adapters = reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data());
    if (GetAdaptersAddresses(AF_INET, GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER,
                             nullptr, adapters, &size) != NO_ERROR)
        return found;
    for (auto* adapter = adapters; adapter != nullptr; adapter = adapter->Next) {
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
