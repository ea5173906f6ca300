#include "adapters/code_pages_win.h"
#include <windows.h>
#include <climits>

namespace {

int Clamp(size_t n) { return n > INT_MAX ? INT_MAX : static_cast<int>(n); }

size_t OemToWide(const char* text, size_t length, uint16_t* units, size_t capacity)
{
    int count = MultiByteToWideChar(CP_OEMCP, MB_ERR_INVALID_CHARS, text, Clamp(length),
                                    reinterpret_cast<wchar_t*>(units), Clamp(capacity));
    return count > 0 ? static_cast<size_t>(count) : 0;
}

size_t WideToAnsi(const uint16_t* units, size_t count, char* text, size_t capacity)
{
    int length = WideCharToMultiByte(CP_ACP, 0, reinterpret_cast<const wchar_t*>(units), Clamp(count), text,
                                     Clamp(capacity), nullptr, nullptr);
    return length > 0 ? static_cast<size_t>(length) : 0;
}

size_t AnsiCharBytes(unsigned char lead)
{
    if (GetACP() == CP_UTF8) {
        if (lead >= 0xF0) return 4;
        if (lead >= 0xE0) return 3;
        if (lead >= 0xC0) return 2;
        return 1;
    }
    return IsDBCSLeadByte(lead) ? 2 : 1;
}

const CodePageConverters converters = { OemToWide, WideToAnsi, AnsiCharBytes };

} // namespace

const CodePageConverters& SystemCodePages()
{
    return converters;
}

bool AnsiTextToOemCodePage(const char* ansi, char* oem, size_t oemSize)
{
    wchar_t wide[3 * 512];
    int count = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, ansi, -1, wide, sizeof wide / sizeof wide[0]);
    if (count <= 0)
        return false;
    BOOL lossy = FALSE;
    int length = WideCharToMultiByte(CP_OEMCP, 0, wide, count, oem, Clamp(oemSize), nullptr, &lossy);
    return length > 0 && !lossy;
}
