#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <iphlpapi.h>
#include "adapters/adapter_build_win.h"
#include "adapters/adapter_rows.h"
#include "adapters/code_pages_win.h"
#include "app/app_state.h"
#include <cstdio>
#include <cwchar>
#include <vector>

namespace {

using GetAdaptersAddressesFn = ULONG WINAPI(ULONG, ULONG, PVOID, PIP_ADAPTER_ADDRESSES, PULONG);

// From the system folder only, like the capture library: a bare name would
// let the program's or the current folder supply a planted iphlpapi.dll.
GetAdaptersAddressesFn* LoadGetAdaptersAddresses()
{
    static GetAdaptersAddressesFn* function = nullptr;
    static bool tried = false;
    if (tried)
        return function;
    tried = true;
    char path[MAX_PATH];
    UINT length = GetSystemDirectoryA(path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return nullptr;
    int written = std::snprintf(path + length, MAX_PATH - length, "\\iphlpapi.dll");
    if (written < 0 || static_cast<UINT>(written) >= MAX_PATH - length)
        return nullptr;
    HMODULE module = LoadLibraryExA(path, nullptr, 0);
    if (module != nullptr)
        function = reinterpret_cast<GetAdaptersAddressesFn*>(
            reinterpret_cast<void*>(GetProcAddress(module, "GetAdaptersAddresses")));
    return function;
}

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
    GetAdaptersAddressesFn* getAdaptersAddresses = LoadGetAdaptersAddresses();
    if (getAdaptersAddresses == nullptr)
        return;
    const ULONG flags = GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER;
    std::vector<unsigned char> buffer(16 * 1024);
    ULONG status = ERROR_BUFFER_OVERFLOW;
    // The list may grow between the two calls; a few tries are enough.
    for (int attempt = 0; attempt < 3 && status == ERROR_BUFFER_OVERFLOW; ++attempt) {
        ULONG size = static_cast<ULONG>(buffer.size());
        status = getAdaptersAddresses(AF_INET, flags, nullptr,
                                      reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()), &size);
        if (status == ERROR_BUFFER_OVERFLOW)
            buffer.resize(size);
    }
    if (status != NO_ERROR)
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
