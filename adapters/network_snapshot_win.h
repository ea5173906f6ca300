// The network as the IP Helper API sees it at one moment: the default routes
// and the adapters with their names and addresses. Taken on the GUI thread
// every few seconds while monitoring: two queries, nothing slower.
#pragma once
#include <cstddef>
#include <vector>
#include "adapters/connection_choice.h"
#include "core/own_addresses.h"

class NetworkSnapshot {
public:
    // Reads the adapters and the default routes (ranked). False when the
    // adapters or the route table cannot be read; the routes are then empty.
    bool Take();
    // Reads the adapters alone, for a lookup that needs no route (the
    // chosen adapter's start); the routes stay empty.
    bool TakeAdapters();

    const RouteSnapshot& Routes() const { return routes_; }

    // The adapter whose GUID the capture device name carries: its connection
    // name (ANSI, may be null) and addresses. False when it is not there.
    bool FindAdapter(const char* deviceName, char* name, size_t nameSize, OwnAddresses* addresses) const;

private:
    std::vector<unsigned char> adapters_;
    RouteSnapshot routes_ = {};
};
