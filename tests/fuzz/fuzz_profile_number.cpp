// The settings file's number conversion on arbitrary text, against a plain
// model of its rules: leading blanks, an optional sign, digits up to the
// first other character, saturation at the 32-bit limits. The text written
// back must read as the same number.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include "core/profile_number.h"

namespace {

// The profile reads numeric keys into 100 bytes.
const size_t kReadBuffer = 100;

int64_t Model(const char* p)
{
    while (*p == ' ' || (*p >= '\t' && *p <= '\r'))
        ++p;
    bool negative = *p == '-';
    if (*p == '-' || *p == '+')
        ++p;
    int64_t value = 0;
    for (; *p >= '0' && *p <= '9'; ++p)
        if (value <= INT64_C(1) << 32)
            value = value * 10 + (*p - '0');
    if (negative)
        value = -value;
    if (value > INT32_MAX)
        return INT32_MAX;
    if (value < INT32_MIN)
        return INT32_MIN;
    return value;
}

void Fail(const char* what, const char* text)
{
    std::fprintf(stderr, "fuzz_profile_number: %s: [%s]\n", what, text);
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // Once as read through the 100-byte buffer, once at its full length.
    for (size_t limit : { kReadBuffer - 1, size }) {
        size_t n = size < limit ? size : limit;
        char* text = static_cast<char*>(std::malloc(n + 1));
        std::memcpy(text, data, n);
        text[n] = '\0';
        int32_t value = ParseProfileNumber(text);
        if (value != Model(text))
            Fail("value differs from the rules", text);

        char written[12];
        size_t length = FormatProfileNumber(value, written, sizeof written);
        if (length == 0 || length != std::strlen(written))
            Fail("not written", text);
        char expected[16];
        std::snprintf(expected, sizeof expected, "%ld", static_cast<long>(value));
        if (std::strcmp(expected, written) != 0)
            Fail("written form", written);
        if (ParseProfileNumber(written) != value)
            Fail("does not read back", written);
        // Too small a buffer gives 0 and an empty text, never a cut number.
        char small[4];
        size_t cut = FormatProfileNumber(value, small, sizeof small);
        if (cut >= sizeof small || (cut == 0 && small[0] != '\0')
            || (cut != 0 && std::strcmp(small, written) != 0))
            Fail("small buffer", small);
        std::free(text);
    }
    return 0;
}
