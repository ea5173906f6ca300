// The About box.
#include "dialogs/dialogs_win.h"
#include "core/app_state.h"
#include "res/resource.h"

namespace {

// The folder of the settings file: beside the program, or the user's own
// when the program's folder cannot be written.
INT_PTR OnAboutInit(HWND window)
{
    char folder[PATH_FIELD_SIZE];
    lstrcpynA(folder, app.settingsPath, sizeof folder);
    char* name = folder;
    for (char* p = folder; *p != '\0'; ++p)
        if (*p == '\\')
            name = p + 1;
    *name = '\0';
    SetDlgItemTextA(window, IDC_DATA_FOLDER, folder);
    // A Quit that came before the box was made: it closes at once.
    if (DialogsClosingForQuit())
        PostMessageA(window, WM_CLOSE, 0, 0);
    return 1;
}

INT_PTR EndAbout(HWND window)
{
    app.dialogOpen = 0;
    EndDialog(window, IDOK);
    return 0;
}

INT_PTR OnAboutCommand(HWND window, WORD id)
{
    // Only OK (or Enter); Escape's cancel command leaves the box open.
    if (id != IDOK)
        return 0;
    EndAbout(window);
    return 1;
}

INT_PTR OnAboutSysCommand(HWND window, WPARAM command)
{
    if (command == SC_CLOSE)
        EndAbout(window);
    return 0;
}

} // namespace

INT_PTR CALLBACK AboutDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        return OnAboutInit(window);
    case WM_COMMAND:
        return OnAboutCommand(window, LOWORD(wParam));
    case WM_SYSCOMMAND:
        return OnAboutSysCommand(window, wParam);
    case WM_CLOSE:
    case WM_DESTROY:
        return EndAbout(window);
    case WM_HELP:
        OpenHelp();
        return 0;
    }
    return 0;
}

INT_PTR ShowAboutDialog(HWND owner)
{
    app.dialogOpen = 1;
    INT_PTR result = DialogBoxParamA(app.instance, MAKEINTRESOURCEA(IDD_ABOUT), owner,
                                     AboutDialogProc, 0);
    // Also when the box could not be created, or the tray menu would stay shut.
    app.dialogOpen = 0;
    return result;
}
