#include "monitor/port_owners.h"
#include <cstring>
#include "monitor/port_traffic.h"

namespace {

bool Unbound(const unsigned char* address)
{
    static const unsigned char kAny[16] = {};
    static const unsigned char kMappedAny[16] = { 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff, 0, 0, 0, 0 };
    return std::memcmp(address, kAny, 16) == 0 || std::memcmp(address, kMappedAny, 16) == 0;
}

// How well a row of the port fits; -1: it cannot own the end.
int Fit(const OwnerRow& row, const PortQuery& query)
{
    bool localSame = query.local != nullptr && std::memcmp(row.local, query.local, 16) == 0;
    if (query.protocol == PORT_TCP) {
        if (query.remote != nullptr && row.remotePort == query.remotePort
            && std::memcmp(row.remote, query.remote, 16) == 0)
            return 3;
        return localSame ? 1 : 0;
    }
    if (localSame)
        return 2;
    if (query.local == nullptr || Unbound(row.local))
        return 1;
    return -1;
}

} // namespace

uint32_t PortOwner(const std::vector<OwnerRow>& rows, const PortQuery& query)
{
    uint32_t owner = PID_NONE;
    int best = -1;
    for (const OwnerRow& row : rows) {
        if (row.protocol != query.protocol || row.localPort != query.localPort)
            continue;
        int fit = Fit(row, query);
        // Among rows alike a live socket's: a closing connection (PID 0)
        // often lingers beside the one that now carries the port's traffic.
        if (fit >= 0)
            fit = fit * 2 + (row.pid != PID_IDLE ? 1 : 0);
        if (fit > best) {
            best = fit;
            owner = row.pid;
        }
    }
    return owner;
}

bool OwnerLookDue(uint64_t nowMs, uint64_t lastLookMs, bool unknownWithTraffic, bool anyTraffic)
{
    if (!anyTraffic)
        return false;
    if (lastLookMs == 0)
        return true;
    uint64_t since = nowMs - lastLookMs;
    return since >= OWNER_LOOK_KNOWN_MS || (unknownWithTraffic && since >= OWNER_LOOK_UNKNOWN_MS);
}
