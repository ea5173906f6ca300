#include "monitor/address_exchange.h"
#include <algorithm>
#include <cstring>

AddressExchange::AddressExchange(const OwnAddresses& first) : published_(0), reading_(-1)
{
    std::memset(slots_, 0, sizeof slots_);
    slots_[0] = first;
}

bool AddressExchange::Publish(const OwnAddresses& next)
{
    int newest = published_.load();
    if (SameOwnAddresses(slots_[newest], next))
        return false;
    // The reader announces its slot before it checks that the slot is still
    // the newest, so a slot that is neither newest nor announced here is one
    // it will not read before the next Publish makes it the newest.
    int reading = reading_.load();
    int free = 0;
    while (free == newest || free == reading)
        ++free;
    slots_[free] = next;
    published_.store(free);
    return true;
}

const OwnAddresses* AddressExchange::Take()
{
    int slot = published_.load();
    for (;;) {
        reading_.store(slot);
        int newest = published_.load();
        if (newest == slot)
            return &slots_[slot];
        slot = newest;
    }
}

bool SameOwnAddresses(const OwnAddresses& a, const OwnAddresses& b)
{
    if (std::strcmp(a.ipv4, b.ipv4) != 0 || a.ipv6.count != b.ipv6.count)
        return false;
    unsigned count = std::min(a.ipv6.count, static_cast<unsigned>(OWN_IPV6_MAX));
    return std::memcmp(a.ipv6.address, b.ipv6.address, count * 16u) == 0;
}
