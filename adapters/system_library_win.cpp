#include "adapters/system_library_win.h"
#include <cstdio>

HMODULE LoadSystemLibrary(const char* relativePath, DWORD flags)
{
    char path[MAX_PATH];
    UINT length = GetSystemDirectoryA(path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return nullptr;
    int written = std::snprintf(path + length, MAX_PATH - length, "\\%s", relativePath);
    if (written < 0 || static_cast<UINT>(written) >= MAX_PATH - length)
        return nullptr;
    return LoadLibraryExA(path, nullptr, flags);
}

namespace {

using GetAdaptersAddressesFn = ULONG WINAPI(ULONG, ULONG, PVOID, PIP_ADAPTER_ADDRESSES, PULONG);

GetAdaptersAddressesFn* LoadGetAdaptersAddresses()
{
    static GetAdaptersAddressesFn* const function =
        BindEntry<GetAdaptersAddressesFn>(IpHelperLibrary(), "GetAdaptersAddresses");
    return function;
}

using GetExtendedTableFn = DWORD WINAPI(PVOID, PDWORD, BOOL, ULONG, int, ULONG);

// GetExtendedTcpTable and GetExtendedUdpTable have the same shape.
GetExtendedTableFn* LoadOwnerTableFunction(bool tcp)
{
    static GetExtendedTableFn* const udpTable = BindEntry<GetExtendedTableFn>(IpHelperLibrary(), "GetExtendedUdpTable");
    static GetExtendedTableFn* const tcpTable = BindEntry<GetExtendedTableFn>(IpHelperLibrary(), "GetExtendedTcpTable");
    return tcp ? tcpTable : udpTable;
}

} // namespace

HMODULE IpHelperLibrary()
{
    static const HMODULE module = LoadSystemLibrary("iphlpapi.dll");
    return module;
}

bool QuerySocketOwners(bool tcp, ULONG family, std::vector<unsigned char>* buffer)
{
    GetExtendedTableFn* getTable = LoadOwnerTableFunction(tcp);
    if (getTable == nullptr)
        return false;
    ULONG table = tcp ? static_cast<ULONG>(TCP_TABLE_OWNER_PID_ALL) : static_cast<ULONG>(UDP_TABLE_OWNER_PID);
    if (buffer->size() < 4096)
        buffer->resize(4096);
    DWORD status = ERROR_INSUFFICIENT_BUFFER;
    // Sockets may open between two calls; a few tries are enough.
    for (int attempt = 0; attempt < 3 && status == ERROR_INSUFFICIENT_BUFFER; ++attempt) {
        DWORD size = static_cast<DWORD>(buffer->size());
        status = getTable(buffer->data(), &size, FALSE, family, static_cast<int>(table), 0);
        if (status == ERROR_INSUFFICIENT_BUFFER)
            buffer->resize(size + 1024);
    }
    return status == NO_ERROR;
}

bool QueryAdapterAddresses(ULONG family, std::vector<unsigned char>* buffer)
{
    GetAdaptersAddressesFn* getAdaptersAddresses = LoadGetAdaptersAddresses();
    if (getAdaptersAddresses == nullptr)
        return false;
    const ULONG flags = GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER;
    buffer->resize(16 * 1024);
    ULONG status = ERROR_BUFFER_OVERFLOW;
    // The list may grow between two calls; a few tries are enough.
    for (int attempt = 0; attempt < 3 && status == ERROR_BUFFER_OVERFLOW; ++attempt) {
        ULONG size = static_cast<ULONG>(buffer->size());
        status = getAdaptersAddresses(family, flags, nullptr,
                                      reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer->data()), &size);
        if (status == ERROR_BUFFER_OVERFLOW)
            buffer->resize(size);
    }
    return status == NO_ERROR;
}
