// The colours the user has chosen for the taskbar and for windows: light or
// dark, and high contrast. Each call reads the setting afresh, as the user
// may change it while NetGlow runs; the system announces it with
// WM_SETTINGCHANGE ("ImmersiveColorSet") and WM_SYSCOLORCHANGE.
#pragma once
#include <windows.h>

// The taskbar's mode (SystemUsesLightTheme, not the apps' setting): false,
// dark, when the value is missing or unreadable, as on the systems before
// Windows 10 1903 whose taskbar is dark.
bool TaskbarUsesLightTheme();
// The windows' mode (AppsUseLightTheme): true, light, when the value is
// missing or unreadable, as windows were light before the setting existed.
bool AppsUseLightTheme();

struct HighContrast {
    bool on;           // HCF_HIGHCONTRASTON
    bool lightOnDark;  // the scheme's window colour is dark
};
HighContrast HighContrastNow();

// A WM_SETTINGCHANGE's lParam names the light/dark setting's change.
bool NamesColourSetChange(LPARAM lParam);
