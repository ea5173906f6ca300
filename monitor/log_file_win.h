#pragma once
#include <cstddef>

// Appends to the connection log (context: its path). The file is opened for
// this one write and shared for reading, writing and deletion, so that a
// viewer may read it and "Log file delete" may remove it meanwhile; the next
// write then creates it again.
bool AppendLogFile(void* path, const char* bytes, size_t length);
