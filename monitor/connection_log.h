// The connection log: the lines of one capture read are gathered in a fixed
// buffer and appended to the file together, one opening per read instead of
// one per packet.
#pragma once
#include <cstddef>

// Appends length bytes to the file named by context; returns whether all of
// them were written.
using LogWriter = bool (*)(void* context, const char* bytes, size_t length);

class LogBatch {
public:
    // storage/capacity: the caller's buffer, used for the whole run.
    LogBatch(char* storage, size_t capacity, LogWriter writer, void* context);

    // Adds one line that ends in "\n"; it is kept ending in "\r\n", as a
    // Windows text file has it. A full buffer is written out first, so the
    // lines reach the file in the order they were added.
    void AddLine(const char* line, size_t length);
    // Writes what is gathered. Lines that cannot be written are dropped
    // without a report: the lamp must go on whatever happens to the log.
    void Flush();
    size_t pending() const { return used_; }

private:
    char* storage_;
    size_t capacity_;
    size_t used_ = 0;
    LogWriter writer_;
    void* context_;
};

// The plain C library appender (binary mode: the lines carry their own line
// ends): opens path, writes, closes. A missing file is created. Returns
// whether everything was written and the file closed without error.
bool AppendConnectionLog(const char* path, const char* bytes, size_t length);
// The same, as a LogWriter whose context is the path.
bool AppendConnectionLogTo(void* path, const char* bytes, size_t length);
