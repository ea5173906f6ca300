// Help: the HTML Help viewer, bound at first use from hhctrl.ocx so that the
// program does not depend on the library being present.
#include "dialogs/dialogs_win.h"
#include <htmlhelp.h>
#include "core/app_state.h"
#include "core/bind_entry.h"
#include "res/resource.h"

namespace {

using HtmlHelpAFunction = HWND WINAPI(HWND, LPCSTR, UINT, DWORD_PTR);

HtmlHelpAFunction* htmlHelp;
bool bindTried;  // a failed load is not tried again in this run

const char HHCTRL_SERVER_KEY[] =
    "CLSID\\{ADB880A6-D8FF-11CF-9377-00AA003B7A11}\\InprocServer32";

// The library's registered file, environment references expanded.
bool RegisteredHtmlHelpPath(char* path, DWORD size)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, HHCTRL_SERVER_KEY, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return false;
    char value[MAX_PATH];
    DWORD type = 0;
    DWORD length = sizeof value - 1;
    LONG result = RegQueryValueExA(key, nullptr, nullptr, &type,
                                   reinterpret_cast<BYTE*>(value), &length);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ) || length == 0)
        return false;
    value[length < sizeof value ? length : sizeof value - 1] = '\0';
    if (value[0] == '\0')
        return false;
    if (type == REG_EXPAND_SZ) {
        DWORD needed = ExpandEnvironmentStringsA(value, path, size);
        return needed != 0 && needed <= size;
    }
    lstrcpynA(path, value, static_cast<int>(size));
    return true;
}

HMODULE LoadHtmlHelpLibrary()
{
    char path[MAX_PATH];
    if (RegisteredHtmlHelpPath(path, sizeof path)) {
        HMODULE library = LoadLibraryA(path);
        if (library != nullptr)
            return library;
    }
    UINT length = GetSystemDirectoryA(path, sizeof path);
    if (length == 0 || length + sizeof "\\hhctrl.ocx" > sizeof path)
        return nullptr;
    lstrcatA(path, "\\hhctrl.ocx");
    return LoadLibraryA(path);
}

HWND CallHtmlHelp(UINT command, DWORD_PTR data)
{
    if (htmlHelp == nullptr && !bindTried) {
        bindTried = true;
        htmlHelp = BindEntry<HtmlHelpAFunction>(LoadHtmlHelpLibrary(), "HtmlHelpA");
    }
    if (htmlHelp == nullptr)
        return nullptr;
    return htmlHelp(nullptr, app.helpPath, command, data);
}

} // namespace

void OpenHelp()
{
    CallHtmlHelp(HH_DISPLAY_TOPIC, 0);
    // Give the viewer time to come up before it is asked for more.
    Sleep(1000);
    CallHtmlHelp(HH_DISPLAY_TOC, 0);
    CallHtmlHelp(HH_HELP_CONTEXT, HELP_CONTEXT_SETUP);
}
