#include <gtest/gtest.h>
#include <string>
#include "app/program_paths.h"
#include "app/windows_version.h"

namespace {

// A directory of exactly `length` characters, trailing backslash included.
std::string DirectoryOfLength(size_t length)
{
    std::string dir = "C:\\";
    while (dir.size() < length - 1)
        dir += 'a';
    dir += '\\';
    return dir;
}

} // namespace

TEST(ProgramPaths, DirectoryKeepsTrailingBackslashAndNamesTheThreeFiles)
{
    ProgramPaths paths;
    ASSERT_EQ(PROGRAM_PATHS_OK, BuildProgramPaths("C:\\Program Files\\NetGlow\\NetGlow.exe", &paths));
    EXPECT_STREQ("C:\\Program Files\\NetGlow\\", paths.moduleDir);
    EXPECT_STREQ("C:\\Program Files\\NetGlow\\NetGlow.chm", paths.helpPath);
    EXPECT_STREQ("C:\\Program Files\\NetGlow\\NetGlow.txt", paths.logPath);
    EXPECT_STREQ("C:\\Program Files\\NetGlow\\NetGlow.ini", paths.settingsPath);
}

TEST(ProgramPaths, LengthLimitAndOddInputs)
{
    struct Case {
        std::string modulePath;
        ProgramPathResult result;
        std::string moduleDir;
    };
    const std::string dir500 = DirectoryOfLength(500);
    const std::string dir501 = DirectoryOfLength(501);
    const std::string longName(600, 'n'); // a long file name must not cut the directory
    const Case cases[] = {
        { dir500 + "NetGlow.exe", PROGRAM_PATHS_OK, dir500 },
        { dir501 + "NetGlow.exe", PROGRAM_PATHS_TOO_LONG, "" },
        { "C:\\short\\" + longName, PROGRAM_PATHS_OK, "C:\\short\\" },
        { "NetGlow.exe", PROGRAM_PATHS_OK, "NetGlow.exe" }, // no backslash: stays whole
        { "", PROGRAM_PATHS_UNACQUIRABLE, "" },
    };
    for (const Case& c : cases) {
        ProgramPaths paths;
        SCOPED_TRACE(c.modulePath.substr(0, 40));
        EXPECT_EQ(c.result, BuildProgramPaths(c.modulePath.c_str(), &paths));
        EXPECT_EQ(c.moduleDir, paths.moduleDir);
        if (c.result == PROGRAM_PATHS_OK) {
            EXPECT_EQ(c.moduleDir + "NetGlow.ini", paths.settingsPath);
        }
    }
    ProgramPaths paths;
    ASSERT_EQ(PROGRAM_PATHS_OK, BuildProgramPaths((dir500 + "x.exe").c_str(), &paths));
    EXPECT_EQ(511u, std::string(paths.logPath).size());
}

TEST(WindowsVersion, NtAboveFourOnly)
{
    struct Case {
        uint32_t platform, major;
        bool supported;
    } const cases[] = {
        { 2, 5, true },   // Windows 2000 / XP
        { 2, 6, true },   // Vista to 8.1
        { 2, 10, true },  // 10 and 11
        { 2, 4, false },  // NT 4.0
        { 1, 4, false },  // Windows 98
        { 1, 5, false },  // a 9x platform never counts, whatever the number
        { 0, 0, false },  // the query failed and left the record zeroed
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.supported, IsSupportedVersion(c.platform, c.major)) << c.platform << "." << c.major;
}
