#include "adapters/connection_choice.h"
#include <algorithm>
#include <cstring>

bool AddDefaultRoute(RouteSnapshot* snapshot, int family, uint32_t interfaceIndex, uint32_t metric,
                     const char* guid)
{
    if (snapshot->count >= ROUTE_MAX || guid == nullptr || std::strlen(guid) >= ROUTE_GUID_SIZE)
        return false;
    DefaultRoute& route = snapshot->route[snapshot->count++];
    route.family = family;
    route.interfaceIndex = interfaceIndex;
    route.metric = metric;
    std::strcpy(route.guid, guid);
    return true;
}

void RankDefaultRoutes(RouteSnapshot* snapshot)
{
    unsigned count = std::min(snapshot->count, static_cast<unsigned>(ROUTE_MAX));
    std::stable_sort(snapshot->route, snapshot->route + count, [](const DefaultRoute& a, const DefaultRoute& b) {
        if (a.family != b.family)
            return a.family == 4;
        if (a.metric != b.metric)
            return a.metric < b.metric;
        return a.interfaceIndex < b.interfaceIndex;
    });
}

int ChooseConnection(const RouteSnapshot& ranked, AdapterUsable usable, void* context)
{
    for (unsigned i = 0; i < ranked.count && i < ROUTE_MAX; ++i)
        if (usable(ranked.route[i].guid, context))
            return static_cast<int>(i);
    return -1;
}

bool SameDefaultRoutes(const RouteSnapshot& a, const RouteSnapshot& b)
{
    if (a.count != b.count)
        return false;
    for (unsigned i = 0; i < a.count && i < ROUTE_MAX; ++i) {
        const DefaultRoute& x = a.route[i];
        const DefaultRoute& y = b.route[i];
        if (x.family != y.family || x.interfaceIndex != y.interfaceIndex || x.metric != y.metric
            || std::strcmp(x.guid, y.guid) != 0)
            return false;
    }
    return true;
}
