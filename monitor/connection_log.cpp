#include "monitor/connection_log.h"
#include <cstdio>

bool AppendConnectionLog(const char* path, const char* line, size_t length)
{
    if (path == nullptr || line == nullptr)
        return false;
    std::FILE* file = std::fopen(path, "at");
    if (file == nullptr)
        return false;
    // One line is written per opening: a buffer of the caller's stack spares
    // the run-time allocating (and sizing, with a stat call) one of its own.
    // Text mode still turns "\n" into "\r\n" on Windows, below the buffer.
    char buffer[512];
    std::setvbuf(file, buffer, _IOFBF, sizeof buffer);
    bool written = std::fwrite(line, 1, length, file) == length;
    if (std::fclose(file) != 0)
        written = false;
    return written;
}
