#include "adapters/network_snapshot_win.h"
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <iphlpapi.h>
#include <netioapi.h>
#include <cstring>
#include <cwchar>
#include "adapters/adapter_rows.h"
#include "adapters/code_pages_win.h"
#include "adapters/system_library_win.h"

namespace {

using GetIpForwardTable2Fn = DWORD WINAPI(ADDRESS_FAMILY, PMIB_IPFORWARD_TABLE2*);
using FreeMibTableFn = VOID WINAPI(PVOID);
using GetBestInterfaceExFn = DWORD WINAPI(struct sockaddr*, PDWORD);

struct RouteFunctions {
    GetIpForwardTable2Fn* forwardTable = nullptr;
    FreeMibTableFn* freeTable = nullptr;
    GetBestInterfaceExFn* bestInterface = nullptr;
};

// Bound at run time: the route table of both families came with Vista.
const RouteFunctions& Functions()
{
    static const RouteFunctions functions = [] {
        RouteFunctions f;
        HMODULE module = IpHelperLibrary();
        f.forwardTable = BindEntry<GetIpForwardTable2Fn>(module, "GetIpForwardTable2");
        f.freeTable = BindEntry<FreeMibTableFn>(module, "FreeMibTable");
        f.bestInterface = BindEntry<GetBestInterfaceExFn>(module, "GetBestInterfaceEx");
        return f;
    }();
    return functions;
}

const IP_ADAPTER_ADDRESSES* First(const std::vector<unsigned char>& buffer)
{
    return buffer.empty() ? nullptr : reinterpret_cast<const IP_ADAPTER_ADDRESSES*>(buffer.data());
}

const IP_ADAPTER_ADDRESSES* ByIndex(const std::vector<unsigned char>& buffer, int family, DWORD index)
{
    for (const IP_ADAPTER_ADDRESSES* adapter = First(buffer); adapter != nullptr; adapter = adapter->Next)
        if ((family == 4 ? adapter->IfIndex : adapter->Ipv6IfIndex) == index && adapter->AdapterName != nullptr)
            return adapter;
    return nullptr;
}

void AddRoute(RouteSnapshot* routes, const std::vector<unsigned char>& adapters, int family, DWORD index,
              ULONG routeMetric)
{
    const IP_ADAPTER_ADDRESSES* adapter = ByIndex(adapters, family, index);
    if (adapter == nullptr)
        return;
    ULONG interfaceMetric = family == 4 ? adapter->Ipv4Metric : adapter->Ipv6Metric;
    AddDefaultRoute(routes, family, index, routeMetric + interfaceMetric, adapter->AdapterName);
}

enum class RouteTable { Read, Missing, Failed };

RouteTable ReadRouteTable(RouteSnapshot* routes, const std::vector<unsigned char>& adapters)
{
    const RouteFunctions& f = Functions();
    if (f.forwardTable == nullptr || f.freeTable == nullptr)
        return RouteTable::Missing;
    MIB_IPFORWARD_TABLE2* table = nullptr;
    if (f.forwardTable(AF_UNSPEC, &table) != NO_ERROR || table == nullptr)
        return RouteTable::Failed;
    for (ULONG i = 0; i < table->NumEntries; ++i) {
        const MIB_IPFORWARD_ROW2& row = table->Table[i];
        ADDRESS_FAMILY family = row.DestinationPrefix.Prefix.si_family;
        if (row.DestinationPrefix.PrefixLength != 0 || (family != AF_INET && family != AF_INET6))
            continue;
        AddRoute(routes, adapters, family == AF_INET ? 4 : 6, row.InterfaceIndex, row.Metric);
    }
    f.freeTable(table);
    return RouteTable::Read;
}

// Where the route table cannot be read: the interface the system would use
// toward an address that only a default route reaches. A lookup; nothing is
// sent.
void ReadBestInterface(RouteSnapshot* routes, const std::vector<unsigned char>& adapters)
{
    const RouteFunctions& f = Functions();
    if (f.bestInterface == nullptr)
        return;
    sockaddr_in ipv4 = {};
    ipv4.sin_family = AF_INET;
    ipv4.sin_addr.s_addr = htonl(0xC0000201); // 192.0.2.1
    DWORD index = 0;
    if (f.bestInterface(reinterpret_cast<sockaddr*>(&ipv4), &index) == NO_ERROR)
        AddRoute(routes, adapters, 4, index, 0);
    sockaddr_in6 ipv6 = {};
    ipv6.sin6_family = AF_INET6;
    const unsigned char documentation[16] = { 0x20, 0x01, 0x0d, 0xb8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1 };
    std::memcpy(&ipv6.sin6_addr, documentation, 16);
    if (f.bestInterface(reinterpret_cast<sockaddr*>(&ipv6), &index) == NO_ERROR)
        AddRoute(routes, adapters, 6, index, 0);
}

void CollectAddresses(const IP_ADAPTER_ADDRESSES* adapter, OwnAddresses* out)
{
    std::memset(out, 0, sizeof *out);
    for (auto* unicast = adapter->FirstUnicastAddress; unicast != nullptr; unicast = unicast->Next) {
        const SOCKADDR* address = unicast->Address.lpSockaddr;
        if (address == nullptr)
            continue;
        if (address->sa_family == AF_INET && out->ipv4[0] == '\0'
            && unicast->Address.iSockaddrLength >= static_cast<INT>(sizeof(sockaddr_in))) {
            const sockaddr_in* ipv4 = reinterpret_cast<const sockaddr_in*>(address);
            FormatIpv4Address(reinterpret_cast<const unsigned char*>(&ipv4->sin_addr), out->ipv4);
        } else if (address->sa_family == AF_INET6 && out->ipv6.count < OWN_IPV6_MAX
                   && unicast->Address.iSockaddrLength >= static_cast<INT>(sizeof(sockaddr_in6))) {
            const sockaddr_in6* ipv6 = reinterpret_cast<const sockaddr_in6*>(address);
            std::memcpy(out->ipv6.address[out->ipv6.count++], &ipv6->sin6_addr, 16);
        }
    }
}

} // namespace

bool NetworkSnapshot::TakeAdapters()
{
    routes_.count = 0;
    if (!QueryAdapterAddresses(AF_UNSPEC, &adapters_)) {
        adapters_.clear();
        return false;
    }
    return true;
}

bool NetworkSnapshot::Take()
{
    if (!TakeAdapters())
        return false;
    // A table that could not be read says nothing about the routes: the
    // look fails, and what runs goes on.
    RouteTable read = ReadRouteTable(&routes_, adapters_);
    if (read == RouteTable::Failed) {
        routes_.count = 0;
        return false;
    }
    if (read == RouteTable::Missing)
        ReadBestInterface(&routes_, adapters_);
    RankDefaultRoutes(&routes_);
    return true;
}

bool NetworkSnapshot::FindAdapter(const char* deviceName, char* name, size_t nameSize,
                                  OwnAddresses* addresses) const
{
    for (const IP_ADAPTER_ADDRESSES* adapter = First(adapters_); adapter != nullptr; adapter = adapter->Next) {
        if (adapter->AdapterName == nullptr || !DeviceHasGuid(deviceName, adapter->AdapterName))
            continue;
        if (addresses != nullptr)
            CollectAddresses(adapter, addresses);
        if (name != nullptr && nameSize > 0) {
            name[0] = '\0';
            if (adapter->FriendlyName != nullptr && nameSize >= ADAPTER_TEXT_SIZE) {
                const uint16_t* wide = reinterpret_cast<const uint16_t*>(adapter->FriendlyName);
                if (!WideNameToAnsiField(name, wide, std::wcslen(adapter->FriendlyName), SystemCodePages()))
                    name[0] = '\0';
            }
        }
        return true;
    }
    return false;
}
