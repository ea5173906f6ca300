#include "monitor/log_file_win.h"
#include <windows.h>

bool AppendLogFile(void* path, const char* bytes, size_t length)
{
    if (path == nullptr || bytes == nullptr || length > MAXDWORD)
        return false;
    HANDLE file = CreateFileA(static_cast<const char*>(path), FILE_APPEND_DATA,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    bool whole = WriteFile(file, bytes, static_cast<DWORD>(length), &written, nullptr)
                 && written == length;
    if (!CloseHandle(file))
        whole = false;
    return whole;
}
