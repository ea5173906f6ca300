// The tip while monitoring: the connection name on the first line, the send
// and receive rates on the second, e.g. "Ethernet\nSent 1.2 MB/s  Received
// 45.3 KB/s". Portable: no Windows types.
#pragma once
#include <cstddef>
#include <cstdint>

enum {
    RATE_TEXT_SIZE = 24,  // "45.3 KB/s"; 16 characters for the largest counter
    TIP_TEXT_SIZE = 64    // the notification area's tip, terminator included
};

// Bytes per second in B, KB, MB or GB (of 1024), with one decimal below 100
// ("45.3 KB/s", "120 KB/s", "0 B/s"), rounded once; what rounds to 1000 of a
// unit is 1.0 of the next ("1.0 MB/s"). Returns the length.
size_t FormatRate(uint64_t bytesPerSecond, char* out, size_t size);
// An amount by the same rule, without "/s" ("12.3 MB").
size_t FormatBytes(uint64_t bytes, char* out, size_t size);

// How many bytes of the name fit in front of these rates in a tip.
size_t RateTipNameRoom(uint64_t sentPerSecond, uint64_t receivedPerSecond);

// The tip from the first nameLength bytes of the name (the caller cuts the
// name, at most RateTipNameRoom bytes, where its code page allows) and the
// rates. out must hold TIP_TEXT_SIZE bytes. Returns the length.
size_t FormatRateTip(const char* name, size_t nameLength, uint64_t sentPerSecond,
                     uint64_t receivedPerSecond, char* out);

// Bytes per second between two readings of a byte counter elapsedMs apart.
uint64_t RatePerSecond(uint64_t bytesBefore, uint64_t bytesNow, uint64_t elapsedMs);
