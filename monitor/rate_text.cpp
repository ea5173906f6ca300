#include "monitor/rate_text.h"
#include <cstdio>
#include <cstring>

namespace {

const char kSent[] = "Sent ";
const char kReceived[] = "  Received ";

// "Sent X  Received Y" into out (TIP_TEXT_SIZE bytes); returns the length.
size_t FormatRates(uint64_t sent, uint64_t received, char* out)
{
    char sentText[RATE_TEXT_SIZE];
    char receivedText[RATE_TEXT_SIZE];
    FormatRate(sent, sentText, sizeof sentText);
    FormatRate(received, receivedText, sizeof receivedText);
    int n = std::snprintf(out, TIP_TEXT_SIZE, "%s%s%s%s", kSent, sentText, kReceived, receivedText);
    return n > 0 && n < TIP_TEXT_SIZE ? static_cast<size_t>(n) : 0;
}

} // namespace

namespace {

// An amount of bytes in B, KB, MB or GB, followed by `suffix`.
size_t FormatAmount(uint64_t bytes, const char* suffix, char* out, size_t size)
{
    static const char* const units[] = { "B", "KB", "MB", "GB" };
    if (out == nullptr || size == 0)
        return 0;
    int n;
    if (bytes < 1000) {
        n = std::snprintf(out, size, "%u B%s", static_cast<unsigned>(bytes), suffix);
    } else {
        double value = static_cast<double>(bytes);
        int unit = 0;
        while (value >= 1000 && unit < 3) {
            value /= 1024;
            ++unit;
        }
        // Each precision rounds the value itself, once: 100.45 is "100",
        // never "100.5" rounded again to "101". What rounds up to 1000 is
        // shown in the next unit ("1.0 MB/s", not "1000 KB/s").
        for (;;) {
            uint64_t tenths = static_cast<uint64_t>(value * 10 + 0.5);
            if (tenths < 1000) {
                n = std::snprintf(out, size, "%u.%u %s%s", static_cast<unsigned>(tenths / 10),
                                  static_cast<unsigned>(tenths % 10), units[unit], suffix);
                break;
            }
            uint64_t whole = static_cast<uint64_t>(value + 0.5);
            if (whole < 1000 || unit == 3) {
                n = std::snprintf(out, size, "%llu %s%s", static_cast<unsigned long long>(whole), units[unit],
                                  suffix);
                break;
            }
            value /= 1024;
            ++unit;
        }
    }
    if (n < 0 || static_cast<size_t>(n) >= size) {
        out[0] = '\0';
        return 0;
    }
    return static_cast<size_t>(n);
}

} // namespace

size_t FormatRate(uint64_t bytesPerSecond, char* out, size_t size)
{
    return FormatAmount(bytesPerSecond, "/s", out, size);
}

size_t FormatBytes(uint64_t bytes, char* out, size_t size)
{
    return FormatAmount(bytes, "", out, size);
}

size_t RateTipNameRoom(uint64_t sentPerSecond, uint64_t receivedPerSecond)
{
    char rates[TIP_TEXT_SIZE];
    size_t length = FormatRates(sentPerSecond, receivedPerSecond, rates);
    // The name, a line break, the rates and the terminator.
    return TIP_TEXT_SIZE - 2 - length;
}

size_t FormatRateTip(const char* name, size_t nameLength, uint64_t sentPerSecond,
                     uint64_t receivedPerSecond, char* out)
{
    char rates[TIP_TEXT_SIZE];
    size_t ratesLength = FormatRates(sentPerSecond, receivedPerSecond, rates);
    size_t room = TIP_TEXT_SIZE - 2 - ratesLength;
    size_t keep = name == nullptr ? 0 : nameLength;
    if (keep > room)
        keep = room;
    if (keep > 0)
        std::memcpy(out, name, keep);
    out[keep] = '\n';
    std::memcpy(out + keep + 1, rates, ratesLength + 1);
    return keep + 1 + ratesLength;
}

uint64_t RatePerSecond(uint64_t bytesBefore, uint64_t bytesNow, uint64_t elapsedMs)
{
    if (elapsedMs == 0 || bytesNow < bytesBefore)
        return 0;
    return (bytesNow - bytesBefore) * 1000 / elapsedMs;
}
