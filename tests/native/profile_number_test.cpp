// The text-to-number rule of the settings file and the decimal form
// that is written back.
#include <gtest/gtest.h>
#include <cstdint>
#include <string>
#include "core/profile_number.h"

TEST(ProfileNumber, Parse)
{
    struct Row { const char* text; int32_t value; };
    const Row rows[] = {
        { "100", 100 },
        { "0", 0 },
        { "007", 7 },
        { "250", 250 },
        { "-3", -3 },
        { "+5", 5 },
        { "-0", 0 },
        // Leading blanks are skipped (space, tab, line ends, vertical tab, form feed).
        { "   42", 42 },
        { "\t\t-7", -7 },
        { " \r\n\v\f9", 9 },
        // Digits up to the first other character.
        { "12abc", 12 },
        { "20 ms", 20 },
        { "1.5", 1 },
        { "0x10", 0 },
        { "-12-3", -12 },
        // No leading digits gives 0.
        { "", 0 },
        { "   ", 0 },
        { "abc", 0 },
        { "-", 0 },
        { "+", 0 },
        { "- 5", 0 },
        { "+-5", 0 },
        { "x12", 0 },
        // 32-bit limits, and saturation beyond them instead of wrapping.
        { "2147483647", INT32_MAX },
        { "-2147483648", INT32_MIN },
        { "2147483648", INT32_MAX },
        { "-2147483649", INT32_MIN },
        { "4294967296", INT32_MAX },
        { "99999999999999999999999999999999", INT32_MAX },
        { "-99999999999999999999999999999999", INT32_MIN },
        { "00000000000000000000000000000012", 12 },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        EXPECT_EQ(row.value, ParseProfileNumber(row.text));
    }
    EXPECT_EQ(0, ParseProfileNumber(nullptr));
}

TEST(ProfileNumber, ParsesAtMostTheBufferTheReaderGives)
{
    // The store reads numbers into a 100-byte buffer: 99 characters at most.
    std::string text(98, ' ');
    text += "7";
    EXPECT_EQ(99u, text.size());
    EXPECT_EQ(7, ParseProfileNumber(text.c_str()));
}

TEST(ProfileNumber, Format)
{
    struct Row { int32_t value; const char* text; };
    const Row rows[] = {
        { 0, "0" }, { 1, "1" }, { -1, "-1" }, { 20, "20" }, { 100, "100" },
        { INT32_MAX, "2147483647" }, { INT32_MIN, "-2147483648" },
    };
    for (const Row& row : rows) {
        char out[12];
        SCOPED_TRACE(row.text);
        EXPECT_EQ(std::string(row.text).size(), FormatProfileNumber(row.value, out, sizeof out));
        EXPECT_STREQ(row.text, out);
    }
    char small[3];
    EXPECT_EQ(0u, FormatProfileNumber(-10, small, sizeof small));
    EXPECT_STREQ("", small);
    EXPECT_EQ(2u, FormatProfileNumber(10, small, sizeof small));
    EXPECT_STREQ("10", small);
}

TEST(ProfileNumber, RoundTrip)
{
    for (int32_t value : { INT32_MIN, -100000, -50, -1, 0, 1, 49, 100, 65535, INT32_MAX }) {
        char out[12];
        FormatProfileNumber(value, out, sizeof out);
        EXPECT_EQ(value, ParseProfileNumber(out));
    }
}
