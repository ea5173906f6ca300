#include "monitor/connection_log.h"
#include <cstdio>
#include <cstring>

LogBatch::LogBatch(char* storage, size_t capacity, LogWriter writer, void* context)
    : storage_(storage), capacity_(capacity), writer_(writer), context_(context)
{
}

void LogBatch::AddLine(const char* line, size_t length)
{
    if (line == nullptr || length == 0)
        return;
    bool bareNewline = line[length - 1] == '\n' && (length < 2 || line[length - 2] != '\r');
    size_t body = bareNewline ? length - 1 : length;
    size_t stored = bareNewline ? length + 1 : length;
    if (stored > capacity_ - used_)
        Flush();
    if (stored > capacity_) {
        // Longer than the whole buffer: never from FormatLogLine, but the
        // line still goes out whole and in its place.
        writer_(context_, line, body);
        if (bareNewline)
            writer_(context_, "\r\n", 2);
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
    if (used_ == 0)
        return;
    writer_(context_, storage_, used_);
    used_ = 0;
}

bool AppendConnectionLog(const char* path, const char* bytes, size_t length)
{
    if (path == nullptr || bytes == nullptr)
        return false;
    std::FILE* file = std::fopen(path, "ab");
    if (file == nullptr)
        return false;
    bool written = std::fwrite(bytes, 1, length, file) == length;
    if (std::fclose(file) != 0)
        written = false;
    return written;
}

bool AppendConnectionLogTo(void* path, const char* bytes, size_t length)
{
    return AppendConnectionLog(static_cast<const char*>(path), bytes, length);
}
