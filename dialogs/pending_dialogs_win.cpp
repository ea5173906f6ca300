// Placeholder until the dialogs and the tray menu land; removed by that change.
#include "dialogs/dialogs_win.h"
#include "tray/tray_menu_win.h"
int ShowSetupDialog(HWND) { return 0; }
INT_PTR ShowAboutDialog(HWND) { return 1; }
void OpenHelp() {}
LRESULT OnTrayCallback(HWND, WPARAM, LPARAM) { return 0; }
LRESULT OnCommand(HWND, WPARAM) { return 0; }
