#include "monitor/connection_log.h"
#include <cstdio>

bool AppendConnectionLog(const char* path, const char* line, size_t length)
{
    if (path == nullptr || line == nullptr)
        return false;
    std::FILE* file = std::fopen(path, "at");
    if (file == nullptr)
        return false;
    bool written = std::fwrite(line, 1, length, file) == length;
    if (std::fclose(file) != 0)
        written = false;
    return written;
}
