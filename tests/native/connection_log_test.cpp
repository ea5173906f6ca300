// The connection log appends one line per call, creating the file.
#include <gtest/gtest.h>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>
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

namespace {
// A writer that keeps every write apart, to see how the lines were grouped.
std::vector<std::string> writes;
bool KeepWrite(void*, const char* bytes, size_t length)
{
    writes.emplace_back(bytes, length);
    return true;
}
} // namespace

TEST(LogBatch, LinesKeepTheirOrderAcrossReadsAndAFullBuffer)
{
    // 40 bytes of buffer, reads of 5 lines of 9 to 19 bytes: the buffer
    // fills inside every read.
    char storage[40];
    LogBatch batch(storage, sizeof storage, KeepWrite, nullptr);
    writes.clear();
    std::string expected;
    for (int read = 0; read < 4; ++read) {
        for (int i = 0; i < 5; ++i) {
            std::string line = "line " + std::to_string(read * 5 + i) + std::string(i * 2, '.') + "\n";
            batch.AddLine(line.data(), line.size());
            expected += line.substr(0, line.size() - 1) + "\r\n";
        }
        batch.Flush();
        EXPECT_EQ(0u, batch.pending());
    }
    std::string all;
    for (const std::string& write : writes) {
        EXPECT_LE(write.size(), sizeof storage);
        EXPECT_EQ("\r\n", write.substr(write.size() - 2)) << "a line was split between writes";
        all += write;
    }
    EXPECT_EQ(expected, all);
    EXPECT_GT(writes.size(), 4u);
}

TEST(LogBatch, LineEndsAndOversizedLines)
{
    char storage[8];
    LogBatch batch(storage, sizeof storage, KeepWrite, nullptr);
    writes.clear();
    batch.AddLine("ab\r\n", 4);           // already a Windows line end
    batch.AddLine("cd\n", 3);
    batch.AddLine("0123456789\n", 11);    // longer than the buffer
    batch.AddLine("", 0);
    batch.Flush();
    EXPECT_EQ((std::vector<std::string>{ "ab\r\ncd\r\n", "0123456789", "\r\n" }), writes);
}

TEST(LogBatch, WritesToTheFileOncePerFlush)
{
    std::string path = TempPath("batch.txt");
    char storage[256];
    LogBatch batch(storage, sizeof storage, AppendConnectionLogTo, const_cast<char*>(path.c_str()));
    batch.AddLine("one\n", 4);
    batch.AddLine("two\n", 4);
    EXPECT_FALSE(Exists(path));
    batch.Flush();
    EXPECT_EQ("one\r\ntwo\r\n", Read(path));
    std::remove(path.c_str());
}
