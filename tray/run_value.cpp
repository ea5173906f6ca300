#include "tray/run_value.h"
#include <cstring>

namespace {

char Lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SamePath(const char* a, size_t aLength, const char* b)
{
    if (std::strlen(b) != aLength)
        return false;
    for (size_t i = 0; i < aLength; ++i)
        if (Lower(a[i]) != Lower(b[i]))
            return false;
    return true;
}

} // namespace

bool FormatRunValue(const char* modulePath, char* out, size_t size)
{
    if (size == 0)
        return false;
    out[0] = '\0';
    size_t length = modulePath != nullptr ? std::strlen(modulePath) : 0;
    if (length == 0 || length + 3 > size)
        return false;
    out[0] = '"';
    std::memcpy(out + 1, modulePath, length);
    out[length + 1] = '"';
    out[length + 2] = '\0';
    return true;
}

bool RunValueNamesProgram(const char* value, const char* modulePath)
{
    if (value == nullptr || modulePath == nullptr || modulePath[0] == '\0')
        return false;
    size_t length = std::strlen(value);
    while (length > 0 && value[length - 1] == ' ')
        --length;
    if (length >= 2 && value[0] == '"' && value[length - 1] == '"')
        return SamePath(value + 1, length - 2, modulePath);
    return SamePath(value, length, modulePath);
}
