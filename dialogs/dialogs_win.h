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
