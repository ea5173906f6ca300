#include "dialogs/dialogs_win.h"

namespace {

// GUI thread only.
bool closingForQuit = false;

BOOL CALLBACK CloseForQuit(HWND window, LPARAM)
{
    char className[8] = "";
    if (GetClassNameA(window, className, sizeof className) == 0 || lstrcmpA(className, "#32770") != 0)
        return TRUE;
    // Posted: each box and dialog ends in its own loop, innermost first.
    if (GetDlgItem(window, IDNO) != nullptr)
        PostMessageA(window, WM_COMMAND, IDNO, 0);
    else
        PostMessageA(window, WM_CLOSE, 0, 0);
    return TRUE;
}

} // namespace

void CloseDialogsForQuit()
{
    closingForQuit = true;
    EnumThreadWindows(GetCurrentThreadId(), CloseForQuit, 0);
}

bool DialogsClosingForQuit()
{
    return closingForQuit;
}

void QuitAfterDialogs()
{
    closingForQuit = false;
}
