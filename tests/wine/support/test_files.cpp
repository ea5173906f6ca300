#include "support/test_files.h"
#include <windows.h>
#include <cstdio>
#include <cstdlib>

std::string HostPathToWindows(const std::string& hostPath)
{
    std::string path = "Z:" + hostPath;
    for (char& c : path)
        if (c == '/')
            c = '\\';
    return path;
}

static std::string EnvPath(const char* name, const std::string& relative)
{
    const char* root = std::getenv(name);
    return HostPathToWindows(std::string(root ? root : ".") + (relative.empty() ? "" : "/" + relative));
}

std::string SourcePath(const std::string& relative) { return EnvPath("NETGLOW_SOURCE_DIR", relative); }
std::string BuildPath(const std::string& relative) { return EnvPath("NETGLOW_BUILD_DIR", relative); }
std::string FixturePath(const std::string& relative) { return SourcePath("tests/fixtures/" + relative); }

std::string TempPath()
{
    char path[MAX_PATH];
    GetTempPathA(sizeof path, path);
    return path;
}

std::string MakeTempFolder(const char* tag)
{
    std::string base = TempPath();
    static LONG serial = 0;
    char folder[MAX_PATH];
    // Process ids start again with each Wine server, so a folder of an
    // earlier run may carry this name; its files must not pass for ours.
    for (int attempt = 0; attempt < 10000; ++attempt) {
        std::snprintf(folder, sizeof folder, "%sng-%s-%lu-%ld\\", base.c_str(), tag,
                      static_cast<unsigned long>(GetCurrentProcessId()), InterlockedIncrement(&serial));
        if (CreateDirectoryA(folder, nullptr))
            break;
    }
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

bool WriteWholeFile(const std::string& path, const std::string& bytes)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    bool whole = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr)
                 && written == bytes.size();
    return CloseHandle(file) && whole;
}

bool PathExists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

unsigned long long FileSize(const std::string& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data))
        return 0;
    return (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

int CountOf(const std::string& text, const std::string& what)
{
    int n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

size_t CountLines(const std::string& text)
{
    return static_cast<size_t>(CountOf(text, "\n"));
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos) {
            lines.push_back(text.substr(at)); // a cut line: never a whole one
            break;
        }
        lines.push_back(text.substr(at, end + 1 - at));
        at = end + 1;
    }
    return lines;
}

int CountCalls(const std::string& callsPath, const std::string& prefix)
{
    int count = 0;
    for (const std::string& line : Lines(ReadFileBytes(callsPath)))
        count += line.compare(0, prefix.size(), prefix) == 0;
    return count;
}
