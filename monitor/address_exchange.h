// Hands the own-address table from the GUI thread, which reads it from the
// system every few seconds, to the capture thread, which reads it for every
// frame. Three slots: the newest published one, the one the capture thread
// is reading, and one to write; so the writer never touches a table that is
// being read, the reader never sees a half-written one, and neither waits.
#pragma once
#include <atomic>
#include "core/own_addresses.h"

class AddressExchange {
public:
    explicit AddressExchange(const OwnAddresses& first);

    // Writer (one thread): makes next the newest table, unless it equals it.
    // Returns whether it changed.
    bool Publish(const OwnAddresses& next);

    // Reader (one thread), between two reads of frames: the newest table. It
    // stays whole and unchanged until the reader's next Take.
    const OwnAddresses* Take();

private:
    OwnAddresses slots_[3];
    std::atomic<int> published_;
    std::atomic<int> reading_;
};

// Whether the two tables hold the same addresses in the same order.
bool SameOwnAddresses(const OwnAddresses& a, const OwnAddresses& b);
