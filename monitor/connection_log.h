// The connection log: the lines of one capture read are gathered in a fixed
// buffer and appended to the file together, one opening per read instead of
// one per packet. A write that fails ends the log on a whole line; with a
// size limit the file is set aside before a write would take it past the
// limit, never in the middle of a line.
#pragma once
#include <cstddef>
#include <cstdint>

// Appends length bytes of whole lines to the log named by context; returns
// whether all of them were written.
using LogWriter = bool (*)(void* context, const char* bytes, size_t length);

class LogBatch {
public:
    // storage/capacity: the caller's buffer, used for the whole run.
    LogBatch(char* storage, size_t capacity, LogWriter writer, void* context);

    // Adds one line that ends in "\n"; it is kept ending in "\r\n", as a
    // Windows text file has it. A full buffer is written out first, so the
    // lines reach the file in the order they were added.
    void AddLine(const char* line, size_t length);
    // Writes what is gathered.
    void Flush();
    size_t pending() const { return used_; }
    // A write failed: from then on lines are dropped, not written, so that
    // the log ends where the failure left it, until Reset.
    bool failed() const { return failed_; }
    void Reset();

private:
    void Write(const char* bytes, size_t length);

    char* storage_;
    size_t capacity_;
    size_t used_ = 0;
    bool failed_ = false;
    LogWriter writer_;
    void* context_;
};

// The files of the log, as the platform provides them. Index 0 is the
// current file (NetGlow.txt), n > 0 the set-aside file n (NetGlow.n.txt).
struct LogFileOps {
    // Opens the current file for appending, created when missing; *size: its size.
    bool (*open)(void* files, uint64_t* size);
    // Appends at the end; *written: the bytes that reached the file, also on failure.
    bool (*write)(void* files, const char* bytes, size_t length, size_t* written);
    // Cuts the open file back to size bytes.
    bool (*truncate)(void* files, uint64_t size);
    void (*close)(void* files);
    // False when it could not: missing, held by another program, or `to` exists.
    bool (*rename)(void* files, unsigned from, unsigned to);
    void (*remove)(void* files, unsigned index);
};

struct LogLimit {
    uint64_t bytes;  // the size the current file never passes; 0: no limit
    unsigned keep;   // set-aside files kept, at least 1
};

// Appends whole lines to the current file. When the limit would be passed,
// the file is set aside first (the lines that still fit go before): the
// current file becomes set-aside file 1, the older ones move up by one and
// the one past `keep` is deleted. When the current file cannot be moved the
// lines go on into it, and the next write tries again. A line larger than
// the limit gets a file of its own. A failed write is cut back to its last
// whole line. Returns whether every byte was written.
bool AppendLogLines(const LogFileOps& ops, void* files, const LogLimit& limit, const char* bytes, size_t length);

// The name of file `index` of the log at path: path itself for 0, else
// ".index" before the file name's extension ("NetGlow.txt": "NetGlow.3.txt").
// False (and an empty text) when it does not fit in size bytes.
bool LogFileName(const char* path, unsigned index, char* out, size_t size);

// Logging stops before the disk is full: below 1 % of the volume or 100 MB
// free, whichever is smaller.
bool LogSpaceLow(uint64_t freeBytes, uint64_t totalBytes);
// The free space is looked at once a second at most.
const uint64_t LOG_SPACE_CHECK_MS = 1000;
