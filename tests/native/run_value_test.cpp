#include <gtest/gtest.h>
#include <string>
#include "tray/run_value.h"

namespace {

const char PROGRAM[] = "C:\\Program Files\\NetGlow\\NetGlow.exe";

TEST(RunValue, IsTheQuotedPath)
{
    char out[64];
    ASSERT_TRUE(FormatRunValue(PROGRAM, out, sizeof out));
    EXPECT_STREQ("\"C:\\Program Files\\NetGlow\\NetGlow.exe\"", out);
    // Exactly room for the quotes and the terminator, and one byte short.
    const size_t needed = sizeof PROGRAM + 2;
    EXPECT_TRUE(FormatRunValue(PROGRAM, out, needed));
    EXPECT_FALSE(FormatRunValue(PROGRAM, out, needed - 1));
    EXPECT_STREQ("", out);
    EXPECT_FALSE(FormatRunValue("", out, sizeof out));
}

TEST(RunValue, NamesThisProgramOnlyWhenThePathIsTheSame)
{
    const struct { const char* value; bool names; } rows[] = {
        { "\"C:\\Program Files\\NetGlow\\NetGlow.exe\"", true },
        { "C:\\Program Files\\NetGlow\\NetGlow.exe", true },
        { "\"c:\\program files\\netglow\\NETGLOW.EXE\"  ", true },
        { "\"D:\\Tools\\NetGlow\\NetGlow.exe\"", false },         // another copy
        { "\"C:\\Program Files\\NetGlow\\NetGlow.exe\" /x", false },
        { "\"C:\\Program Files\\NetGlow\\NetGlow.ex\"", false },
        { "\"", false },
        { "", false },
    };
    for (const auto& row : rows)
        EXPECT_EQ(row.names, RunValueNamesProgram(row.value, PROGRAM)) << row.value;
    EXPECT_FALSE(RunValueNamesProgram(nullptr, PROGRAM));
}

} // namespace
