// Connection names between code pages: the report's names arrive in the
// console (OEM) code page, the registry's and the IP Helper's must end in the
// ANSI code page of every other text. The system's converters are handed in,
// so that the rules run without Windows.
#pragma once
#include <cstddef>
#include <cstdint>
#include "core/adapter_table.h"

struct CodePageConverters {
    // Bytes of the OEM code page to UTF-16 units; 0 when they do not decode.
    size_t (*oemToWide)(const char* text, size_t length, uint16_t* units, size_t capacity);
    // UTF-16 units to the ANSI code page, with the system's replacement
    // characters for what it lacks; 0 on failure.
    size_t (*wideToAnsi)(const uint16_t* units, size_t count, char* text, size_t capacity);
    // Bytes of the ANSI character that begins with this byte (1, or 2 for a
    // lead byte of a double-byte code page).
    size_t (*ansiCharBytes)(unsigned char lead);
};

// Copies text into a field of ADAPTER_TEXT_SIZE bytes: all of it when it
// fits, otherwise the longest run of whole characters that does.
void FitAnsiField(char* field, const char* text, size_t length, const CodePageConverters& converters);

// A UTF-16 name as an ANSI field; false (field empty) when it converts to nothing.
bool WideNameToAnsiField(char* field, const uint16_t* name, size_t count, const CodePageConverters& converters);

// Converts the names of the complete rows from the OEM to the ANSI code page,
// so that they compare with the registry's names; a name that does not
// decode keeps its bytes. Not called where both code pages are one (932).
void ReportNamesToAnsi(IpconfigTable* table, const CodePageConverters& converters);
