// The lamp images for the notification area, in the look the user has
// (taskbar light or dark, shapes, high contrast) and at the small-icon size of
// the display scaling the shell draws them at. GUI thread only.
#pragma once
#include <windows.h>
#include "tray/lamp_look.h"

// The image of a lamp (see lamp_look.h) in the current look at the current
// small-icon size. The look's lamps are loaded together when a size or look
// is first taken, and every image is kept for the run: the shell may still
// be showing it.
HICON LoadTrayImage(unsigned lamp);
// The look the images are chosen for, read at the first use.
const LampLook& CurrentLampLook();
// Reads the taskbar's mode and high contrast afresh, with the user's choice
// of shapes: true when the look changed, its lamps now loaded; the icon then
// needs its image set again (TrayIconShowImageAgain).
bool RefreshLampLook();
// The user's choice of shapes taken into the look without asking the system
// again (start-up, once the settings are read): true when it changed, as
// RefreshLampLook.
bool SetLampShapes(bool shapes);
// The small-icon size now, in pixels: GetSystemMetricsForDpi at the DPI of
// the taskbar's monitor (else of the main window) where the system has it,
// GetSystemMetrics(SM_CXSMICON) otherwise.
int CurrentTrayImageSize();
// The scaling may have changed: take the size afresh. True when it differs
// and every lamp is now loaded at the new size; the icon then needs its
// image set again (TrayIconShowImageAgain).
bool RefreshTrayImageSize();
