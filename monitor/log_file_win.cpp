#include "monitor/log_file_win.h"

namespace {

const uint64_t MEGABYTE = 1024 * 1024;

bool NameOf(LogFile* log, unsigned index, char* name)
{
    return LogFileName(log->path, index, name, PATH_FIELD_SIZE);
}

bool Failed(LogFile* log)
{
    log->error = GetLastError();
    return false;
}

bool Open(void* files, uint64_t* size)
{
    LogFile* log = static_cast<LogFile*>(files);
    // FILE_WRITE_DATA as well as appending: a line cut short by a failed
    // write is cut off again.
    log->handle = CreateFileA(log->path, FILE_APPEND_DATA | FILE_WRITE_DATA,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (log->handle == INVALID_HANDLE_VALUE)
        return Failed(log);
    LARGE_INTEGER end;
    LARGE_INTEGER zero = {};
    if (!SetFilePointerEx(log->handle, zero, &end, FILE_END)) {
        Failed(log);
        CloseHandle(log->handle);
        return false;
    }
    *size = static_cast<uint64_t>(end.QuadPart);
    return true;
}

bool Write(void* files, const char* bytes, size_t length, size_t* written)
{
    LogFile* log = static_cast<LogFile*>(files);
    *written = 0;
    while (*written < length) {
        size_t rest = length - *written;
        DWORD chunk = rest > MAXDWORD ? MAXDWORD : static_cast<DWORD>(rest);
        DWORD done = 0;
        if (!WriteFile(log->handle, bytes + *written, chunk, &done, nullptr))
            return Failed(log);
        *written += done;
        if (done == 0) {
            log->error = ERROR_DISK_FULL;
            return false;
        }
    }
    return true;
}

bool Truncate(void* files, uint64_t size)
{
    LogFile* log = static_cast<LogFile*>(files);
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(size);
    return SetFilePointerEx(log->handle, at, nullptr, FILE_BEGIN) && SetEndOfFile(log->handle);
}

void Close(void* files)
{
    LogFile* log = static_cast<LogFile*>(files);
    CloseHandle(log->handle);
    log->handle = INVALID_HANDLE_VALUE;
}

bool Rename(void* files, unsigned from, unsigned to)
{
    LogFile* log = static_cast<LogFile*>(files);
    char source[PATH_FIELD_SIZE];
    char target[PATH_FIELD_SIZE];
    return NameOf(log, from, source) && NameOf(log, to, target) && MoveFileA(source, target);
}

void Remove(void* files, unsigned index)
{
    LogFile* log = static_cast<LogFile*>(files);
    char name[PATH_FIELD_SIZE];
    if (NameOf(log, index, name))
        DeleteFileA(name);
}

const LogFileOps FILE_OPS = { Open, Write, Truncate, Close, Rename, Remove };

// Looked at once a second at most; a volume that cannot be asked is taken
// to have room (a missing folder fails the write itself).
bool SpaceLow(LogFile* log)
{
    ULONGLONG now = GetTickCount64();
    if (log->spaceCheckedMs != 0 && now - log->spaceCheckedMs < LOG_SPACE_CHECK_MS)
        return false;
    log->spaceCheckedMs = now;
    char folder[PATH_FIELD_SIZE];
    lstrcpynA(folder, log->path, sizeof folder);
    char* name = folder;
    for (char* p = folder; *p != '\0'; p = CharNextA(p))
        if (*p == '\\' || *p == '/')
            name = p + 1;
    *name = '\0';
    ULARGE_INTEGER available, total;
    return GetDiskFreeSpaceExA(folder[0] != '\0' ? folder : nullptr, &available, &total, nullptr)
           && LogSpaceLow(available.QuadPart, total.QuadPart);
}

} // namespace

void InitLogFile(LogFile* file, const char* path)
{
    lstrcpynA(file->path, path, sizeof file->path);
    int32_t megabytes = app.LogLimitMB;
    file->limit.bytes = megabytes > 0 ? static_cast<uint64_t>(megabytes) * MEGABYTE : 0;
    file->limit.keep = static_cast<unsigned>(app.LogFiles);
    file->error = ERROR_SUCCESS;
    file->spaceCheckedMs = 0;
    file->handle = INVALID_HANDLE_VALUE;
}

bool AppendLogFile(void* logFile, const char* bytes, size_t length)
{
    LogFile* log = static_cast<LogFile*>(logFile);
    if (SpaceLow(log)) {
        log->error = LOG_ERROR_SPACE_LOW;
        return false;
    }
    return AppendLogLines(FILE_OPS, log, log->limit, bytes, length);
}

void DeleteLogFiles(const char* path)
{
    char name[PATH_FIELD_SIZE];
    for (unsigned index = 0; index <= LOG_FILES_MAX + 1; ++index)
        if (LogFileName(path, index, name, sizeof name))
            DeleteFileA(name);
}
