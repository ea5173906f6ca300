// The connection log: one line appended per logged packet.
#pragma once
#include <cstddef>

// Opens path in append text mode ("at"), writes the line, closes the file.
// A missing file is created. Returns whether the whole line was written and
// the file closed without error; nothing is reported otherwise.
bool AppendConnectionLog(const char* path, const char* line, size_t length);
