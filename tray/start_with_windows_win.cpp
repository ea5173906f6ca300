#include "tray/start_with_windows_win.h"
#include <windows.h>
#include "tray/run_value.h"

namespace {

const char RUN_KEY[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char VALUE_NAME[] = "NetGlow";
// Paths longer than this are not written: the program folder already holds
// at most 500 characters.
const DWORD PATH_LIMIT = 1024;

bool ProgramPath(char* path)
{
    DWORD length = GetModuleFileNameA(nullptr, path, PATH_LIMIT);
    return length != 0 && length < PATH_LIMIT;
}

} // namespace

bool StartsWithWindows()
{
    char path[PATH_LIMIT];
    if (!ProgramPath(path))
        return false;
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, RUN_KEY, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return false;
    char value[PATH_LIMIT + 16];
    DWORD type = 0;
    DWORD size = sizeof value - 1;
    LONG result = RegQueryValueExA(key, VALUE_NAME, nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ))
        return false;
    // The stored text need not end in a terminator.
    value[size < sizeof value ? size : sizeof value - 1] = '\0';
    return RunValueNamesProgram(value, path);
}

bool SetStartWithWindows(bool start)
{
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, RUN_KEY, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr)
        != ERROR_SUCCESS)
        return false;
    LONG result;
    if (start) {
        char path[PATH_LIMIT];
        char value[PATH_LIMIT + 2];
        if (!ProgramPath(path) || !FormatRunValue(path, value, sizeof value)) {
            RegCloseKey(key);
            return false;
        }
        result = RegSetValueExA(key, VALUE_NAME, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                                static_cast<DWORD>(lstrlenA(value) + 1));
    } else {
        result = RegDeleteValueA(key, VALUE_NAME);
        if (result == ERROR_FILE_NOT_FOUND)
            result = ERROR_SUCCESS;
    }
    RegCloseKey(key);
    return result == ERROR_SUCCESS;
}
