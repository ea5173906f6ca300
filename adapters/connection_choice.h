// Which adapter carries the connection in use: the one with the default
// route of the lowest metric, IPv4 before IPv6. Portable: the routes come
// from a snapshot the Win32 side takes of the system's route table.
#pragma once
#include <cstdint>

enum {
    ROUTE_MAX = 64,
    ROUTE_GUID_SIZE = 40  // "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" and terminator
};

struct DefaultRoute {
    int family;                    // 4 or 6
    uint32_t interfaceIndex;
    uint32_t metric;               // the route's plus its interface's
    char guid[ROUTE_GUID_SIZE];    // the adapter's, as the IP Helper names it
};

struct RouteSnapshot {
    unsigned count;
    DefaultRoute route[ROUTE_MAX];
};

// Appends a route; false when the snapshot is full or the GUID does not fit.
bool AddDefaultRoute(RouteSnapshot* snapshot, int family, uint32_t interfaceIndex, uint32_t metric,
                     const char* guid);

// Sorts the routes best first: IPv4 before IPv6, then the lower metric, then
// the lower interface index, so that equal routes always give one answer.
void RankDefaultRoutes(RouteSnapshot* snapshot);

// Whether the adapter with this GUID can be captured now (it has a capture
// device, and that device is not known to deliver anything but Ethernet).
using AdapterUsable = bool (*)(const char* guid, void* context);

// Index of the first route of a ranked snapshot whose adapter is usable, or
// -1 when there is none.
int ChooseConnection(const RouteSnapshot& ranked, AdapterUsable usable, void* context);

// Whether two ranked snapshots hold the same routes.
bool SameDefaultRoutes(const RouteSnapshot& a, const RouteSnapshot& b);
