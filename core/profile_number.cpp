#include "core/profile_number.h"
#include <cstdio>

int32_t ParseProfileNumber(const char* text)
{
    if (text == nullptr)
        return 0;
    const char* p = text;
    while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r' || *p == '\v' || *p == '\f')
        ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = (*p == '-');
        ++p;
    }
    const int64_t limit = negative ? INT64_C(2147483648) : INT64_C(2147483647);
    int64_t value = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        value = value * 10 + (*p - '0');
        if (value > limit)
            value = limit;
    }
    return static_cast<int32_t>(negative ? -value : value);
}

size_t FormatProfileNumber(int32_t value, char* out, size_t size)
{
    int written = snprintf(out, size, "%ld", static_cast<long>(value));
    if (written < 0 || static_cast<size_t>(written) >= size) {
        if (size > 0)
            out[0] = '\0';
        return 0;
    }
    return static_cast<size_t>(written);
}
