// Text-to-number rules of the settings file.
#pragma once
#include <cstddef>
#include <cstdint>

// Reads a signed decimal integer the way the settings file has always been
// read: leading blanks skipped, an optional sign, digits up to the first other
// character; no digits gives 0. Values beyond 32 bits saturate instead of
// wrapping, so a huge "WaitCount" stays huge rather than turning negative.
int32_t ParseProfileNumber(const char* text);

// Plain decimal: "-" for negatives, no plus sign, no padding. Returns the
// length written, or 0 when the buffer (at least 12 bytes) is too small.
size_t FormatProfileNumber(int32_t value, char* out, size_t size);
