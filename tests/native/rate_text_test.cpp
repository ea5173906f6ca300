// The rates of the tip: unit steps, rounding, and a name cut so that the
// rates always fit.
#include <gtest/gtest.h>
#include <cstring>
#include <string>
#include "monitor/rate_text.h"

TEST(RateText, UnitsAndRounding)
{
    const struct {
        uint64_t bytes;
        const char* text;
    } cases[] = {
        { 0, "0 B/s" }, { 999, "999 B/s" }, { 1000, "1.0 KB/s" }, { 1024, "1.0 KB/s" },
        { 46387, "45.3 KB/s" }, { 102348, "99.9 KB/s" }, { 102380, "100 KB/s" },
        { 122880, "120 KB/s" }, { 102861, "100 KB/s" }, { 1023949, "1.0 MB/s" },
        { 1023999, "1.0 MB/s" }, { 1024000, "1.0 MB/s" },
        { 1258291, "1.2 MB/s" }, { 5ull << 30, "5.0 GB/s" }, { 2000ull << 30, "2000 GB/s" },
        { UINT64_MAX, "17179869184 GB/s" },
    };
    for (const auto& c : cases) {
        char text[32];
        EXPECT_EQ(std::strlen(c.text), FormatRate(c.bytes, text, sizeof text)) << c.bytes;
        EXPECT_STREQ(c.text, text) << c.bytes;
    }
    // Amounts (the graph's totals) by the same rule.
    const struct {
        uint64_t bytes;
        const char* text;
    } amounts[] = { { 999, "999 B" }, { 1023949, "1.0 MB" }, { 12897485, "12.3 MB" } };
    for (const auto& a : amounts) {
        char text[32];
        EXPECT_EQ(std::strlen(a.text), FormatBytes(a.bytes, text, sizeof text)) << a.bytes;
        EXPECT_STREQ(a.text, text) << a.bytes;
    }
    char small[4];
    EXPECT_EQ(0u, FormatRate(1258291, small, sizeof small));
    EXPECT_STREQ("", small);
}

TEST(RateText, TipCutsTheNameNeverTheRates)
{
    char tip[TIP_TEXT_SIZE];
    std::string name = "Ethernet";
    EXPECT_EQ(std::string("Ethernet\nSent 1.2 MB/s  Received 45.3 KB/s"),
              std::string(tip, FormatRateTip(name.c_str(), name.size(), 1258291, 46387, tip)));
    std::string longName(80, 'n');
    size_t room = RateTipNameRoom(1258291, 46387);
    EXPECT_EQ(std::string(room, 'n') + "\nSent 1.2 MB/s  Received 45.3 KB/s",
              std::string(tip, FormatRateTip(longName.c_str(), longName.size(), 1258291, 46387, tip)));
    EXPECT_EQ(63u, std::strlen(tip));
    // The widest rates still leave a tip of 63 characters at most.
    room = RateTipNameRoom(UINT64_MAX, UINT64_MAX);
    FormatRateTip(longName.c_str(), longName.size(), UINT64_MAX, UINT64_MAX, tip);
    EXPECT_EQ(std::string(room, 'n') + "\nSent 17179869184 GB/s  Received 17179869184 GB/s", tip);
    EXPECT_LE(std::strlen(tip), 63u);
}

TEST(RateText, RateBetweenReadings)
{
    EXPECT_EQ(1500u, RatePerSecond(1000, 2500, 1000));
    EXPECT_EQ(3000u, RatePerSecond(1000, 2500, 500));
    EXPECT_EQ(0u, RatePerSecond(1000, 2500, 0));
    EXPECT_EQ(0u, RatePerSecond(2500, 1000, 1000)); // a counter reset by a new run
}
