#pragma once
#include <windows.h>

int ShowSetupDialog(HWND owner);
INT_PTR CALLBACK SetupDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
int SetupDialogChanged(HWND window);

INT_PTR ShowAboutDialog(HWND owner);
INT_PTR CALLBACK AboutDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

void OpenHelp();
