#pragma once
#include <windows.h>
#include <cstddef>
#include "core/app_state.h"
#include "monitor/connection_log.h"

// The reason of a failed log write that the system has no code for (an
// application's own code: bit 29 set).
const DWORD LOG_ERROR_SPACE_LOW = 0x20000001;

// The connection log as one run writes it; capture thread only.
struct LogFile {
    char path[PATH_FIELD_SIZE];
    LogLimit limit;
    DWORD error;              // why the last write failed
    ULONGLONG spaceCheckedMs; // when the free space was last looked at; 0: never
    HANDLE handle;            // open during one write only
};

// Fills a LogFile for the log at path with the settings' limit.
void InitLogFile(LogFile* file, const char* path);
// A LogWriter whose context is a LogFile. Each write opens the file, shared
// for reading, writing and deletion (a viewer may read it and "Log file
// delete" may remove it meanwhile; the next write then creates it again),
// and closes it again.
bool AppendLogFile(void* logFile, const char* bytes, size_t length);
// "Log file delete": the log and its set-aside files (one more than are
// kept: a file being set aside has that number for a moment).
void DeleteLogFiles(const char* path);
