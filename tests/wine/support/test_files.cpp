#include "support/test_files.h"
#include <windows.h>
#include <cstdio>

std::string MakeTempFolder(const char* tag)
{
    char base[MAX_PATH];
    GetTempPathA(sizeof base, base);
    static LONG serial = 0;
    char folder[MAX_PATH];
    std::snprintf(folder, sizeof folder, "%snetglow_%s_%lu_%lu_%ld\\", base, tag,
                  static_cast<unsigned long>(GetCurrentProcessId()),
                  static_cast<unsigned long>(GetTickCount()), InterlockedIncrement(&serial));
    CreateDirectoryA(folder, nullptr);
    return folder;
}

std::string ReadFileBytes(const std::string& path)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return "<missing>";
    std::string all;
    char chunk[4096];
    DWORD got = 0;
    while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0)
        all.append(chunk, got);
    CloseHandle(file);
    return all;
}

bool PathExists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

int CountOf(const std::string& text, const std::string& what)
{
    int n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}
