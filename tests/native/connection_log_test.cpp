// The connection log: lines gathered per read, the file set aside at its
// limit, and a failed write cut back to its last whole line.
#include <gtest/gtest.h>
#include <map>
#include <set>
#include <string>
#include <vector>
#include "monitor/connection_log.h"

namespace {
// A writer that keeps every write apart, to see how the lines were grouped.
std::vector<std::string> writes;
bool KeepWrite(void*, const char* bytes, size_t length)
{
    writes.emplace_back(bytes, length);
    return true;
}
bool FailWrite(void*, const char* bytes, size_t length)
{
    writes.emplace_back("failed " + std::string(bytes, length));
    return false;
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

TEST(LogBatch, AFailedWriteDropsTheLinesAfterItUntilReset)
{
    char storage[8];
    LogBatch batch(storage, sizeof storage, FailWrite, nullptr);
    writes.clear();
    batch.AddLine("ab\n", 3);
    batch.Flush();
    EXPECT_TRUE(batch.failed());
    batch.AddLine("cd\n", 3);
    batch.Flush();
    batch.Reset();
    EXPECT_FALSE(batch.failed());
    batch.AddLine("ef\n", 3);
    batch.Flush();
    EXPECT_EQ((std::vector<std::string>{ "failed ab\r\n", "failed ef\r\n" }), writes);
}

namespace {

// The log's files in memory: index 0 the current file, n the set-aside
// file n; a disk that takes `room` more bytes; files another program holds.
struct Files {
    std::map<unsigned, std::string> file;
    std::set<unsigned> held;
    size_t room = ~size_t{ 0 };
    bool folderGone = false;
};

const LogFileOps MEMORY_OPS = {
    [](void* f, uint64_t* size) {
        Files* files = static_cast<Files*>(f);
        if (files->folderGone)
            return false;
        *size = files->file[0].size();
        return true;
    },
    [](void* f, const char* bytes, size_t length, size_t* written) {
        Files* files = static_cast<Files*>(f);
        *written = length < files->room ? length : files->room;
        files->room -= *written;
        files->file[0].append(bytes, *written);
        return *written == length;
    },
    [](void* f, uint64_t size) {
        static_cast<Files*>(f)->file[0].resize(size);
        return true;
    },
    [](void*) {},
    [](void* f, unsigned from, unsigned to) {
        Files* files = static_cast<Files*>(f);
        if (!files->file.count(from) || files->file.count(to) || files->held.count(from))
            return false;
        files->file[to] = files->file[from];
        files->file.erase(from);
        return true;
    },
    [](void* f, unsigned index) { static_cast<Files*>(f)->file.erase(index); },
};

// "0: a|b / 1: c" for NetGlow.txt holding "a\nb\n" and NetGlow.1.txt "c\n".
std::string Describe(const Files& files)
{
    std::string text;
    for (const auto& entry : files.file) {
        text += (text.empty() ? "" : " / ") + std::to_string(entry.first) + ":";
        for (char c : entry.second)
            text += c == '\n' ? '|' : c;
    }
    return text;
}

} // namespace

TEST(ConnectionLog, EachWriteAtTheLimitAndOnAFullDisk)
{
    const size_t FULL = ~size_t{ 0 };
    const struct {
        const char* what;
        std::map<unsigned, std::string> before;
        std::set<unsigned> held;
        size_t room;
        uint64_t limit;
        unsigned keep;
        const char* write;
        bool written;
        const char* after;
    } cases[] = {
        { "no limit", { { 0, "a\n" } }, {}, FULL, 0, 5, "b\nc\n", true, "0:a|b|c|" },
        { "below the limit", { { 0, "a\n" } }, {}, FULL, 6, 5, "b\nc\n", true, "0:a|b|c|" },
        { "a new file", {}, {}, FULL, 6, 5, "b\n", true, "0:b|" },
        { "limit reached, none set aside", { { 0, "a\nb\n" } }, {}, FULL, 6, 5, "c\nd\n", true, "0:d| / 1:a|b|c|" },
        { "one set aside", { { 0, "aa\n" }, { 1, "zz\n" } }, {}, FULL, 4, 2, "bb\n", true, "0:bb| / 1:aa| / 2:zz|" },
        { "LogFiles set aside", { { 0, "aa\n" }, { 1, "yy\n" }, { 2, "zz\n" } }, {}, FULL, 4, 2, "bb\n", true,
          "0:bb| / 1:aa| / 2:yy|" },
        { "a write larger than the limit", {}, {}, FULL, 6, 5, "aa\nbb\ncc\n", true, "0:cc| / 1:aa|bb|" },
        { "a line larger than the limit", { { 0, "a\n" } }, {}, FULL, 3, 5, "bbbb\nc\n", true,
          "0:c| / 1:bbbb| / 2:a|" },
        { "held by another program", { { 0, "aa\n" }, { 1, "zz\n" } }, { 0 }, FULL, 4, 2, "bb\n", true,
          "0:aa|bb| / 1:zz|" },
        { "a line cut short", { { 0, "a\n" } }, {}, 5, 0, 5, "bb\ncc\n", false, "0:a|bb|" },
        { "nothing fits", { { 0, "a\n" } }, {}, 0, 0, 5, "bb\n", false, "0:a|" },
        { "cut short after a set-aside", { { 0, "aa\n" } }, {}, 4, 6, 5, "bb\ncc\n", false, "0: / 1:aa|bb|" },
    };
    for (const auto& c : cases) {
        Files files;
        files.file = c.before;
        files.held = c.held;
        files.room = c.room;
        std::string bytes = c.write;
        EXPECT_EQ(c.written, AppendLogLines(MEMORY_OPS, &files, { c.limit, c.keep }, bytes.data(), bytes.size()))
            << c.what;
        EXPECT_EQ(c.after, Describe(files)) << c.what;
    }
}

TEST(ConnectionLog, AHeldFileIsSetAsideByTheNextWriteOnceReleasedAndAGoneFolderWritesNothing)
{
    Files files;
    files.file = { { 0, "aa\n" } };
    files.held = { 0 };
    ASSERT_TRUE(AppendLogLines(MEMORY_OPS, &files, { 4, 5 }, "bb\n", 3));
    files.held.clear();
    ASSERT_TRUE(AppendLogLines(MEMORY_OPS, &files, { 4, 5 }, "cc\n", 3));
    EXPECT_EQ("0:cc| / 1:aa|bb|", Describe(files));
    files.folderGone = true;
    EXPECT_FALSE(AppendLogLines(MEMORY_OPS, &files, { 4, 5 }, "dd\n", 3));
    EXPECT_EQ("0:cc| / 1:aa|bb|", Describe(files));
}

TEST(ConnectionLog, NamesOfTheSetAsideFilesAndTheSpaceLeft)
{
    char name[32];
    EXPECT_TRUE(LogFileName("C:\\a.b\\NetGlow.txt", 0, name, sizeof name));
    EXPECT_STREQ("C:\\a.b\\NetGlow.txt", name);
    EXPECT_TRUE(LogFileName("C:\\a.b\\NetGlow.txt", 99, name, sizeof name));
    EXPECT_STREQ("C:\\a.b\\NetGlow.99.txt", name);
    EXPECT_TRUE(LogFileName("C:\\a.b\\log", 1, name, sizeof name));
    EXPECT_STREQ("C:\\a.b\\log.1", name);
    EXPECT_FALSE(LogFileName("C:\\a.b\\NetGlow.txt", 1, name, 16));
    EXPECT_STREQ("", name);

    const uint64_t MB = 1024 * 1024;
    EXPECT_TRUE(LogSpaceLow(30719, 3 * MB));           // 1 % of 3 MB is 31457 bytes
    EXPECT_FALSE(LogSpaceLow(31457, 3 * MB));
    EXPECT_TRUE(LogSpaceLow(100 * MB - 1, 1000000 * MB)); // 100 MB on a large disk
    EXPECT_FALSE(LogSpaceLow(100 * MB, 1000000 * MB));
}
