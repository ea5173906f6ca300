#pragma once
#include <windows.h>

BOOL TrayIconAdd(HWND window, UINT id, UINT callbackMessage, HICON icon, const char* tip);
void TrayIconDelete(HWND window, UINT id);
void TrayIconSetImage(UINT iconId);
void TrayIconSetTip(const char* tip);
// Explorer restarted: add the icon again with the image and tip it had.
void TrayIconRestore();
