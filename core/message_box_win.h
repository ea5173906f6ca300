#pragma once
#include <windows.h>

// Every message box of the program: caption "NetGlow", counted in
// messageBoxOpen while it is open (the tray menu stays shut meanwhile).
// Returns MessageBoxA's answer.
int ShowAppMessage(HWND owner, const char* text, UINT style);
