// Files, folders, texts and bounded waits of the Wine tests and the
// end-to-end runs.
#pragma once
#include <windows.h>
#include <string>
#include <vector>

// Looks every 10 ms until `ready()` holds, bounded; true when it did.
template <typename Ready> bool WaitFor(Ready ready, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    while (!ready()) {
        if (GetTickCount() - start > timeoutMs)
            return false;
        Sleep(10);
    }
    return true;
}

// Host paths, from the environment CTest gives, seen from Windows (Wine's
// drive Z: is the host's root): of the source tree, of the build tree, of a
// fixture ("ipconfig/x.txt" under tests/fixtures).
std::string HostPathToWindows(const std::string& hostPath);
std::string SourcePath(const std::string& relative);
std::string BuildPath(const std::string& relative);
std::string FixturePath(const std::string& relative);

// The temporary directory, with its final "\".
std::string TempPath();
// A fresh empty folder under the temporary directory; its path ends in "\".
std::string MakeTempFolder(const char* tag);
// The whole file, or "<missing>" when it cannot be opened. Opened to share
// everything, so that the program under test may write or delete it meanwhile.
std::string ReadFileBytes(const std::string& path);
bool WriteWholeFile(const std::string& path, const std::string& bytes);
bool PathExists(const std::string& path);
// The file's size in bytes; 0 when it cannot be read.
unsigned long long FileSize(const std::string& path);
// How often `what` occurs in `text`.
int CountOf(const std::string& text, const std::string& what);
// Lines ended by "\n" in a text.
size_t CountLines(const std::string& text);
// The lines of a text, each with its "\n"; a cut last line as it stands.
std::vector<std::string> Lines(const std::string& text);
// Lines of a calls file (the fake capture library's) that begin with `prefix`.
int CountCalls(const std::string& callsPath, const std::string& prefix);
