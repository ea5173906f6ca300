#include "adapters/name_conversion.h"
#include <cstring>

namespace {
// A name of 499 characters may need two bytes for each in a double-byte code
// page, and three in UTF-8.
const size_t WIDE_NAME_MAX = ADAPTER_TEXT_MAX;
const size_t ANSI_BUFFER_SIZE = 3 * ADAPTER_TEXT_SIZE;
}

void FitAnsiField(char* field, const char* text, size_t length, const CodePageConverters& converters)
{
    size_t kept = 0;
    while (kept < length) {
        size_t bytes = converters.ansiCharBytes(static_cast<unsigned char>(text[kept]));
        if (bytes == 0 || kept + bytes > length || kept + bytes > ADAPTER_TEXT_MAX)
            break;
        kept += bytes;
    }
    std::memcpy(field, text, kept);
    field[kept] = '\0';
}

bool WideNameToAnsiField(char* field, const uint16_t* name, size_t count, const CodePageConverters& converters)
{
    field[0] = '\0';
    if (count > WIDE_NAME_MAX)
        count = WIDE_NAME_MAX; // the rest could not fit in the field anyway
    if (count == 0)
        return false;
    char ansi[ANSI_BUFFER_SIZE];
    size_t length = converters.wideToAnsi(name, count, ansi, sizeof ansi);
    if (length == 0 || length > sizeof ansi)
        return false;
    FitAnsiField(field, ansi, length, converters);
    return field[0] != '\0';
}

void ReportNamesToAnsi(IpconfigTable* table, const CodePageConverters& converters)
{
    for (int row = 0; row < table->count; ++row) {
        char* name = table->connectionName[row];
        size_t length = strnlen(name, ADAPTER_TEXT_SIZE);
        if (length == 0 || length >= ADAPTER_TEXT_SIZE)
            continue;
        uint16_t units[ADAPTER_TEXT_SIZE];
        size_t count = converters.oemToWide(name, length, units, ADAPTER_TEXT_SIZE);
        if (count == 0 || count > ADAPTER_TEXT_SIZE)
            continue;
        char converted[ADAPTER_TEXT_SIZE];
        if (WideNameToAnsiField(converted, units, count, converters))
            std::memcpy(name, converted, strnlen(converted, ADAPTER_TEXT_SIZE) + 1);
    }
}
