#include "monitor/connection_log.h"
#include <cstdio>
#include <cstring>

LogBatch::LogBatch(char* storage, size_t capacity, LogWriter writer, void* context)
    : storage_(storage), capacity_(capacity), writer_(writer), context_(context)
{
}

void LogBatch::Write(const char* bytes, size_t length)
{
    if (!failed_ && !writer_(context_, bytes, length))
        failed_ = true;
}

void LogBatch::AddLine(const char* line, size_t length)
{
    if (line == nullptr || length == 0 || failed_)
        return;
    bool bareNewline = line[length - 1] == '\n' && (length < 2 || line[length - 2] != '\r');
    size_t body = bareNewline ? length - 1 : length;
    size_t stored = bareNewline ? length + 1 : length;
    if (stored > capacity_ - used_)
        Flush();
    if (stored > capacity_) {
        // Longer than the whole buffer: never from FormatLogLine, but the
        // line still goes out whole and in its place.
        char line_end[2] = { '\r', '\n' };
        Write(line, body);
        if (bareNewline)
            Write(line_end, 2);
        return;
    }
    std::memcpy(storage_ + used_, line, body);
    used_ += body;
    if (bareNewline) {
        storage_[used_++] = '\r';
        storage_[used_++] = '\n';
    }
}

void LogBatch::Flush()
{
    if (used_ != 0)
        Write(storage_, used_);
    used_ = 0;
}

void LogBatch::Reset()
{
    used_ = 0;
    failed_ = false;
}

namespace {

// The bytes of the whole lines at the start of bytes[0, length).
size_t WholeLines(const char* bytes, size_t length)
{
    while (length > 0 && bytes[length - 1] != '\n')
        --length;
    return length;
}

// The bytes of the whole lines that fit in room, at least the first line
// when atLeastOne.
size_t LinesWithin(const char* bytes, size_t length, uint64_t room, bool atLeastOne)
{
    size_t fit = WholeLines(bytes, room < length ? static_cast<size_t>(room) : length);
    if (fit == 0 && atLeastOne) {
        const char* end = static_cast<const char*>(std::memchr(bytes, '\n', length));
        fit = end != nullptr ? static_cast<size_t>(end - bytes) + 1 : length;
    }
    return fit;
}

// The current file becomes set-aside file 1. It is moved out of the way
// first, so that a file another program holds changes nothing.
bool SetAside(const LogFileOps& ops, void* files, unsigned keep)
{
    unsigned moving = keep + 1;
    ops.remove(files, moving);
    if (!ops.rename(files, 0, moving))
        return false;
    ops.remove(files, keep);
    for (unsigned n = keep - 1; n >= 1; --n)
        ops.rename(files, n, n + 1);
    if (ops.rename(files, moving, 1))
        return true;
    ops.rename(files, moving, 0);
    return false;
}

} // namespace

bool AppendLogLines(const LogFileOps& ops, void* files, const LogLimit& limit, const char* bytes, size_t length)
{
    uint64_t size = 0;
    if (!ops.open(files, &size))
        return false;
    unsigned keep = limit.keep < 1 ? 1 : limit.keep;
    size_t done = 0;
    while (done < length) {
        size_t part = length - done;
        if (limit.bytes != 0) {
            uint64_t room = size < limit.bytes ? limit.bytes - size : 0;
            part = LinesWithin(bytes + done, length - done, room, size == 0);
            if (part == 0) {
                ops.close(files);
                bool moved = SetAside(ops, files, keep);
                if (!ops.open(files, &size))
                    return false;
                // Held by another program: the log goes on where it is.
                part = moved ? LinesWithin(bytes + done, length - done, limit.bytes, true) : length - done;
            }
        }
        size_t written = 0;
        if (!ops.write(files, bytes + done, part, &written) || written != part) {
            ops.truncate(files, size + WholeLines(bytes + done, written < part ? written : part));
            ops.close(files);
            return false;
        }
        size += part;
        done += part;
    }
    ops.close(files);
    return true;
}

bool LogFileName(const char* path, unsigned index, char* out, size_t size)
{
    if (size == 0)
        return false;
    const char* name = path;
    for (const char* p = path; *p != '\0'; ++p)
        if (*p == '\\' || *p == '/')
            name = p + 1;
    const char* dot = std::strrchr(name, '.');
    size_t stem = dot != nullptr ? static_cast<size_t>(dot - path) : std::strlen(path);
    int n = index == 0 ? std::snprintf(out, size, "%s", path)
                       : std::snprintf(out, size, "%.*s.%u%s", static_cast<int>(stem), path, index, path + stem);
    if (n < 0 || static_cast<size_t>(n) >= size) {
        out[0] = '\0';
        return false;
    }
    return true;
}

bool LogSpaceLow(uint64_t freeBytes, uint64_t totalBytes)
{
    const uint64_t floor = 100ull * 1024 * 1024;
    uint64_t percent = totalBytes / 100;
    return freeBytes < (percent < floor ? percent : floor);
}
