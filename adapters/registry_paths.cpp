#include "adapters/registry_paths.h"
#include <cstdio>
#include <cstring>

void FormatControlSet(const unsigned char* currentValue, char* out)
{
    uint32_t word = uint32_t(currentValue[0]) | uint32_t(currentValue[1]) << 8
                  | uint32_t(currentValue[2]) << 16 | uint32_t(currentValue[3]) << 24;
    std::snprintf(out, 4, "%3.3d", static_cast<int>(word & 0xFFu));
}

bool JoinRegistryPath(char* out, const char* first, const char* second, const char* third)
{
    size_t a = strnlen(first, REGISTRY_PATH_SIZE);
    size_t b = strnlen(second, REGISTRY_PATH_SIZE);
    size_t c = strnlen(third, REGISTRY_PATH_SIZE);
    if (a + b + c > REGISTRY_PATH_MAX) {
        out[0] = '\0';
        return false;
    }
    std::memcpy(out, first, a);
    std::memcpy(out + a, second, b);
    std::memcpy(out + a + b, third, c);
    out[a + b + c] = '\0';
    return true;
}

bool FormNetworkKeyPath(char* out, const char* controlSet)
{
    return JoinRegistryPath(out, "SYSTEM\\ControlSet", controlSet, "\\Control\\Network");
}

bool FormClassKeyPath(char* out, const char* networkKey, const char* className)
{
    return JoinRegistryPath(out, networkKey, "\\", className);
}

bool FormConnectionKeyPath(char* out, const char* classKey, const char* guid)
{
    char tail[REGISTRY_PATH_SIZE];
    if (!JoinRegistryPath(tail, "\\", guid, "\\Connection"))
        return false;
    return JoinRegistryPath(out, classKey, tail, "");
}
