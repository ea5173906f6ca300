// The connection log appends one line per call, creating the file.
#include <gtest/gtest.h>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>
#include "monitor/connection_log.h"

namespace {
std::string TempPath(const char* name)
{
    const char* dir = std::getenv("TMPDIR");
    std::string path = std::string(dir && *dir ? dir : "/tmp") + "/netglow_" + std::to_string(getpid()) + "_" + name;
    std::remove(path.c_str());
    return path;
}
std::string Read(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}
bool Exists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }
} // namespace

TEST(ConnectionLog, CreatesAndAppends)
{
    std::string path = TempPath("log.txt");
    ASSERT_FALSE(Exists(path));
    EXPECT_TRUE(AppendConnectionLog(path.c_str(), "one\n", 4));
    EXPECT_TRUE(AppendConnectionLog(path.c_str(), "two\n", 4));
    EXPECT_EQ("one\ntwo\n", Read(path));
    std::remove(path.c_str());
    EXPECT_TRUE(AppendConnectionLog(path.c_str(), "three\n", 6));
    EXPECT_EQ("three\n", Read(path));
    std::remove(path.c_str());
}

TEST(ConnectionLog, UnopenablePathIsNotWritten)
{
    std::string path = TempPath("no-such-dir") + "/log.txt";
    EXPECT_FALSE(AppendConnectionLog(path.c_str(), "x\n", 2));
    EXPECT_FALSE(AppendConnectionLog(nullptr, "x\n", 2));
    EXPECT_FALSE(Exists(path));
}
