// The lamp images for the notification area, at the small-icon size of the
// display scaling the shell draws them at. GUI thread only.
#pragma once
#include <windows.h>

// The image of icon resource LOWORD(iconId) at the current small-icon size.
// The four lamps are loaded together when a size is first taken, and every
// image is kept for the run: the shell may still be showing it.
HICON LoadTrayImage(UINT iconId);
// The small-icon size now, in pixels: GetSystemMetricsForDpi at the DPI of
// the taskbar's monitor (else of the main window) where the system has it,
// GetSystemMetrics(SM_CXSMICON) otherwise.
int CurrentTrayImageSize();
// The scaling may have changed: take the size afresh. True when it differs
// and every lamp is now loaded at the new size; the icon then needs its
// image set again (TrayIconShowImageAgain).
bool RefreshTrayImageSize();
