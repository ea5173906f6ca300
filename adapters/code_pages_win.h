// The system's code-page converters for the portable name rules.
#pragma once
#include <cstddef>
#include "adapters/name_conversion.h"

const CodePageConverters& SystemCodePages();

// ANSI text in the OEM code page; false when a character has no OEM form.
bool AnsiTextToOemCodePage(const char* ansi, char* oem, size_t oemSize);
