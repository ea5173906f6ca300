// Control-set text and the bounded registry key paths.
#include <gtest/gtest.h>
#include <string>
#include "adapters/registry_paths.h"

namespace {

TEST(FormatControlSet, LowestEightBitsOfTheFirstWord)
{
    struct Case {
        unsigned char bytes[4];
        const char* text;
    } cases[] = {
        { { 1, 0, 0, 0 }, "001" }, { { 2, 0, 0, 0 }, "002" }, { { 0, 1, 0, 0 }, "000" },
        { { 44, 1, 0, 0 }, "044" }, { { 255, 0, 0, 0 }, "255" }, { { 99, 0, 0, 0x80 }, "099" },
        { { 0, 0, 0, 0 }, "000" },
    };
    for (const Case& c : cases) {
        char text[4] = "xyz";
        FormatControlSet(c.bytes, text);
        EXPECT_STREQ(c.text, text);
    }
}

TEST(RegistryPaths, Forms)
{
    char network[REGISTRY_PATH_SIZE], classKey[REGISTRY_PATH_SIZE], connection[REGISTRY_PATH_SIZE];
    ASSERT_TRUE(FormNetworkKeyPath(network, "001"));
    EXPECT_STREQ("SYSTEM\\ControlSet001\\Control\\Network", network);
    ASSERT_TRUE(FormClassKeyPath(classKey, network, "{4D36E972-E325-11CE-BFC1-08002BE10318}"));
    EXPECT_STREQ("SYSTEM\\ControlSet001\\Control\\Network\\{4D36E972-E325-11CE-BFC1-08002BE10318}", classKey);
    ASSERT_TRUE(FormConnectionKeyPath(connection, classKey, "{1234}"));
    EXPECT_STREQ("SYSTEM\\ControlSet001\\Control\\Network\\{4D36E972-E325-11CE-BFC1-08002BE10318}"
                 "\\{1234}\\Connection", connection);
}

TEST(RegistryPaths, AtMost998Characters)
{
    char out[REGISTRY_PATH_SIZE];
    std::string base(500, 'b');
    // base + "\" + name: 998 fits, 999 does not.
    EXPECT_TRUE(FormClassKeyPath(out, base.c_str(), std::string(497, 'c').c_str()));
    EXPECT_EQ(998u, std::string(out).size());
    EXPECT_FALSE(FormClassKeyPath(out, base.c_str(), std::string(498, 'c').c_str()));
    EXPECT_STREQ("", out);
    // base + "\" + guid + "\Connection": 998 fits, 999 does not.
    EXPECT_TRUE(FormConnectionKeyPath(out, base.c_str(), std::string(486, 'g').c_str()));
    EXPECT_EQ(998u, std::string(out).size());
    EXPECT_FALSE(FormConnectionKeyPath(out, base.c_str(), std::string(487, 'g').c_str()));
    // "SYSTEM\ControlSet" (17) + text + "\Control\Network" (16).
    EXPECT_TRUE(FormNetworkKeyPath(out, std::string(965, '1').c_str()));
    EXPECT_FALSE(FormNetworkKeyPath(out, std::string(966, '1').c_str()));
    EXPECT_FALSE(FormNetworkKeyPath(out, std::string(5000, '1').c_str()));
}

} // namespace
