// Connection names between code pages, with stand-ins for the system's
// converters: a Western pair (report in 850, registry in 1252) and a
// double-byte ANSI code page in which every character above 0xFF takes two
// bytes.
#include <gtest/gtest.h>
#include <cstring>
#include <memory>
#include <string>
#include <vector>
#include "adapters/adapter_rows.h"
#include "adapters/name_conversion.h"

namespace {

// Code page 850 for the letters used here; other bytes above 0x7F do not decode.
size_t Oem850ToWide(const char* text, size_t length, uint16_t* units, size_t capacity)
{
    static const struct { unsigned char oem; uint16_t unit; } letters[] = {
        { 0x81, 0xFC }, { 0x82, 0xE9 }, { 0x87, 0xE7 }, { 0xA4, 0xF1 },
    };
    if (length > capacity)
        return 0;
    for (size_t i = 0; i < length; ++i) {
        unsigned char byte = static_cast<unsigned char>(text[i]);
        units[i] = byte < 0x80 ? byte : 0;
        for (const auto& letter : letters)
            if (letter.oem == byte)
                units[i] = letter.unit;
        if (units[i] == 0)
            return 0;
    }
    return length;
}

size_t WideTo1252(const uint16_t* units, size_t count, char* text, size_t capacity)
{
    if (count > capacity)
        return 0;
    for (size_t i = 0; i < count; ++i)
        text[i] = units[i] < 0x100 ? static_cast<char>(units[i]) : '?';
    return count;
}

size_t SingleByte(unsigned char) { return 1; }

size_t WideToDoubleByte(const uint16_t* units, size_t count, char* text, size_t capacity)
{
    size_t length = 0;
    for (size_t i = 0; i < count; ++i) {
        if (units[i] < 0x80) {
            if (length + 1 > capacity)
                return 0;
            text[length++] = static_cast<char>(units[i]);
        } else {
            if (length + 2 > capacity)
                return 0;
            text[length++] = '\x82';
            text[length++] = '\x40';
        }
    }
    return length;
}

size_t DoubleByteLead(unsigned char lead) { return lead >= 0x81 ? 2 : 1; }

const CodePageConverters WESTERN = { Oem850ToWide, WideTo1252, SingleByte };
const CodePageConverters DOUBLE_BYTE = { Oem850ToWide, WideToDoubleByte, DoubleByteLead };

template <typename Text>
Text Repeat(const Text& text, size_t times)
{
    Text result;
    for (size_t i = 0; i < times; ++i)
        result += text;
    return result;
}
std::u16string Repeat(const char16_t* text, size_t times) { return Repeat(std::u16string(text), times); }

std::string WideName(const std::u16string& name, const CodePageConverters& converters, bool* converted)
{
    char field[ADAPTER_TEXT_SIZE];
    std::memset(field, 'X', sizeof field);
    *converted = WideNameToAnsiField(field, reinterpret_cast<const uint16_t*>(name.data()), name.size(), converters);
    return field;
}

// The report's names are compared with the registry's only after their
// conversion: a renamed connection with accented letters is then found.
TEST(ReportNamesToAnsi, AccentedNamesMatchTheRegistryAfterConversion)
{
    auto table = std::make_unique<IpconfigTable>();
    std::memset(table.get(), 0, sizeof *table);
    const char* report[] = { "Caf\x82 Wi-Fi \x81" "ber Br\x81" "cke", "Ethernet", "Bad \xFF byte", "Open row \x81" };
    for (int i = 0; i < 4; ++i)
        std::strcpy(table->connectionName[i], report[i]);
    table->count = 3;
    const char registry[] = "Caf\xE9 Wi-Fi \xFC" "ber Br\xFC" "cke";
    EXPECT_EQ(-1, FindIpconfigRow(table.get(), registry));

    ReportNamesToAnsi(table.get(), WESTERN);
    EXPECT_EQ(0, FindIpconfigRow(table.get(), registry));
    EXPECT_STREQ("Ethernet", table->connectionName[1]);
    EXPECT_STREQ("Bad \xFF byte", table->connectionName[2]);   // does not decode: kept
    EXPECT_STREQ("Open row \x81", table->connectionName[3]);   // not a complete row
}

TEST(WideNameToAnsiField, ConvertsAndNeverCutsACharacterInTwo)
{
    struct Case {
        std::u16string name;
        const CodePageConverters* converters;
        std::string field;
        bool converted;
    } cases[] = {
        { u"Ethernet", &WESTERN, "Ethernet", true },
        { u"Caf\u00E9", &WESTERN, "Caf\xE9", true },
        { u"Mobilfunk \u4E2D", &WESTERN, "Mobilfunk ?", true },   // the replacement character
        { u"", &WESTERN, "", false },
        { Repeat(u"n", 499), &WESTERN, std::string(499, 'n'), true },
        { Repeat(u"n", 600), &WESTERN, std::string(499, 'n'), true },
        // 2 bytes each: 249 whole characters, not 249 and a half.
        { Repeat(u"\u4E2D", 300), &DOUBLE_BYTE, Repeat(std::string("\x82\x40"), 249), true },
        { u"a" + Repeat(u"\u4E2D", 300), &DOUBLE_BYTE, "a" + Repeat(std::string("\x82\x40"), 249), true },
        { u"ab" + Repeat(u"\u4E2D", 300), &DOUBLE_BYTE, "ab" + Repeat(std::string("\x82\x40"), 248), true },
    };
    for (const Case& c : cases) {
        bool converted = !c.converted;
        EXPECT_EQ(c.field, WideName(c.name, *c.converters, &converted)) << c.field.size();
        EXPECT_EQ(c.converted, converted) << c.field.size();
    }
}

TEST(FitAnsiField, DropsALeadByteWithoutItsTrailByte)
{
    char field[ADAPTER_TEXT_SIZE];
    const char text[] = "ab\x82\x40\x82";
    FitAnsiField(field, text, sizeof text - 1, DOUBLE_BYTE);
    EXPECT_STREQ("ab\x82\x40", field);
    FitAnsiField(field, text, sizeof text - 1, WESTERN);
    EXPECT_STREQ(text, field);
}

} // namespace
