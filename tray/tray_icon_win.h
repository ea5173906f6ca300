#pragma once
#include <windows.h>
#include <shellapi.h>
#include <cstddef>

// The longest start of text that fits in room bytes without splitting a
// double-byte character of the ANSI code page: the one cut of every tip.
size_t TipBytesThatFit(const char* text, size_t room);

// TRUE when the icon is there: added, or found there by a modify after a
// refused add.
BOOL TrayIconAdd(HWND window, UINT id, UINT callbackMessage, HICON icon, const char* tip);
void TrayIconDelete(HWND window, UINT id);
// The image of a lamp (see lamp_look.h) in the current look.
void TrayIconSetImage(UINT lamp);
void TrayIconSetTip(const char* tip);
// The lamp last set, loaded again at the current small-icon size.
void TrayIconShowImageAgain();
// The taskbar's mode, high contrast or the user's choice of shapes may have
// changed: the lamp shown again in the new look, only when it changed.
void TrayIconFollowLook();
// Explorer restarted: add the icon again with the image and tip it had.
void TrayIconRestore();
// A balloon from the icon, with the program's name as its title; icon:
// NIIF_INFO or NIIF_WARNING.
void TrayIconShowBalloon(const char* text, DWORD icon = NIIF_INFO);
