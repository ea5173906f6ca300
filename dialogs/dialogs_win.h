#pragma once
#include <windows.h>

// firstRun: the dialog stands for the whole program at its first start, so
// it is shown without an owner, with a taskbar button, in the foreground.
int ShowSetupDialog(HWND owner, bool firstRun = false);
INT_PTR CALLBACK SetupDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
int SetupDialogChanged(HWND window);

INT_PTR ShowAboutDialog(HWND owner);
INT_PTR CALLBACK AboutDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

void OpenHelp();

// Quit while a dialog is open (its modal loop brought the Quit): every
// question box of this thread is answered as its close box would ("No"
// where it has no close box), and Setup or About closes as its close box
// closes it, nothing asked, nothing stored. A dialog that opens before
// QuitAfterDialogs closes at once.
void CloseDialogsForQuit();
bool DialogsClosingForQuit();
// The dialogs have returned and the Quit goes on.
void QuitAfterDialogs();
