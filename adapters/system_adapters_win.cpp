#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <iphlpapi.h>
#include "adapters/adapter_build_win.h"
#include "adapters/adapter_rows.h"
#include "adapters/code_pages_win.h"
#include "adapters/system_library_win.h"
#include "core/app_state.h"
#include <cstdio>
#include <cwchar>
#include <vector>

namespace {

bool FirstIpv4Address(const IP_ADAPTER_ADDRESSES* adapter, char* text)
{
    for (const IP_ADAPTER_UNICAST_ADDRESS* unicast = adapter->FirstUnicastAddress; unicast != nullptr;
         unicast = unicast->Next) {
        const SOCKADDR* address = unicast->Address.lpSockaddr;
        if (address == nullptr || address->sa_family != AF_INET
            || unicast->Address.iSockaddrLength < static_cast<INT>(sizeof(sockaddr_in)))
            continue;
        const sockaddr_in* ipv4 = reinterpret_cast<const sockaddr_in*>(address);
        FormatIpv4Address(reinterpret_cast<const unsigned char*>(&ipv4->sin_addr), text);
        return true;
    }
    return false;
}

bool AnyDeviceWithoutAddress()
{
    for (int i = 0; i < app.adapters.count; ++i)
        if (app.adapters.ipv4Address[i][0] == '\0')
            return true;
    return false;
}

} // namespace

void FillMissingAddresses()
{
    if (!AnyDeviceWithoutAddress())
        return;
    std::vector<unsigned char> buffer;
    if (!QueryAdapterAddresses(AF_INET, &buffer))
        return;
    for (const IP_ADAPTER_ADDRESSES* adapter = reinterpret_cast<const IP_ADAPTER_ADDRESSES*>(buffer.data());
         adapter != nullptr; adapter = adapter->Next) {
        char address[16];
        if (adapter->AdapterName == nullptr || adapter->FriendlyName == nullptr || !FirstIpv4Address(adapter, address))
            continue;
        char name[ADAPTER_TEXT_SIZE];
        const uint16_t* wide = reinterpret_cast<const uint16_t*>(adapter->FriendlyName);
        if (!WideNameToAnsiField(name, wide, std::wcslen(adapter->FriendlyName), SystemCodePages()))
            continue;
        FillFromSystemAdapter(&app.adapters, adapter->AdapterName, name, address);
    }
}
