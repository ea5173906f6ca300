// A program installed under Program Files and run without elevation cannot
// write beside itself, and a 64-bit program gets no file virtualisation: its
// settings and log would be lost without a word.
#include "app/data_folder_win.h"
#include <windows.h>
#include <shlobj.h>
#include <cstdio>
#include "core/app_state.h"

namespace {

bool FolderIsWritable(const char* folder)
{
    char probe[PATH_FIELD_SIZE + 32];
    int length = std::snprintf(probe, sizeof probe, "%sNetGlow-%lu.tmp", folder,
                               static_cast<unsigned long>(GetCurrentProcessId()));
    if (length < 0 || length >= static_cast<int>(sizeof probe))
        return false;
    HANDLE file = CreateFileA(probe, GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_HIDDEN, nullptr);
    // Left by an earlier process of the same id that did not get to delete it.
    if (file == INVALID_HANDLE_VALUE && GetLastError() == ERROR_FILE_EXISTS && DeleteFileA(probe))
        file = CreateFileA(probe, GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_HIDDEN, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(file);
    return DeleteFileA(probe) != 0;
}

// "%LOCALAPPDATA%\NetGlow\", created when missing if asked to.
bool LocalDataFolder(char* folder, size_t size, bool create)
{
    char base[MAX_PATH];
    int flags = CSIDL_LOCAL_APPDATA | (create ? CSIDL_FLAG_CREATE : 0);
    if (FAILED(SHGetFolderPathA(nullptr, flags, nullptr, 0, base))) {
        DWORD length = GetEnvironmentVariableA("LOCALAPPDATA", base, sizeof base);
        if (length == 0 || length >= sizeof base)
            return false;
    }
    int length = std::snprintf(folder, size, "%s\\NetGlow\\", base);
    if (length < 0 || static_cast<size_t>(length) >= size)
        return false;
    if (create && !CreateDirectoryA(folder, nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
        return false;
    return true;
}

bool FileExists(const char* path)
{
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool RunsElevated()
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return false;
    TOKEN_ELEVATION elevation = {};
    DWORD length = 0;
    // Systems before Vista know no such question: never elevated there.
    BOOL answered = GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &length);
    CloseHandle(token);
    return answered && elevation.TokenIsElevated != 0;
}

// "%LOCALAPPDATA%\NetGlow\" and the settings file in it. Both names are
// 11 characters long, so the folder's room leaves room for either.
struct LocalPaths {
    char folder[PATH_FIELD_SIZE - 11];
    char settings[PATH_FIELD_SIZE];
};

bool FindLocalPaths(LocalPaths* paths, bool create)
{
    if (!LocalDataFolder(paths->folder, sizeof paths->folder, create))
        return false;
    std::snprintf(paths->settings, sizeof paths->settings, "%sNetGlow.ini", paths->folder);
    return true;
}

// An elevated run can write beside a program under Program Files, where the
// normal runs cannot; it takes the settings they keep in LocalAppData, or
// the two kinds of run would drift apart (and the elevated one would ask
// for the first-run Setup again). Settings beside the program win.
bool ElevatedRunSharesLocalSettings()
{
    if (FileExists(app.settingsPath) || !RunsElevated())
        return false;
    LocalPaths local;
    return FindLocalPaths(&local, false) && FileExists(local.settings);
}

} // namespace

DataFolder ChooseDataFolder()
{
    if (FolderIsWritable(app.moduleDir) && !ElevatedRunSharesLocalSettings())
        return DATA_FOLDER_PROGRAM;
    LocalPaths local;
    if (!FindLocalPaths(&local, true))
        return DATA_FOLDER_PROGRAM;
    // Settings written beside the program while it could still be written
    // (or shipped there by an administrator) carry over once.
    CopyFileA(app.settingsPath, local.settings, TRUE);
    lstrcpynA(app.settingsPath, local.settings, sizeof app.settingsPath);
    std::snprintf(app.logPath, sizeof app.logPath, "%sNetGlow.txt", local.folder);
    return DATA_FOLDER_LOCAL_APP_DATA;
}
