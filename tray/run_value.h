// The "NetGlow" value of the current user's Run key: what it holds for this
// program, and whether a value found there names this program.
#pragma once
#include <cstddef>

// "\"" + modulePath + "\"" into out; false (out empty) when it does not fit.
bool FormatRunValue(const char* modulePath, char* out, size_t size);
// True when value names modulePath: the path itself, quoted or not, and
// nothing after it; letters compared without case, as Windows compares paths.
bool RunValueNamesProgram(const char* value, const char* modulePath);
