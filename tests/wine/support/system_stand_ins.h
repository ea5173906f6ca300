// Answers of the system that Wine cannot be set to give, stood in for at the
// test program's own imports (see import_patch.h): high contrast, and
// entries a program binds at run time with GetProcAddress.
#pragma once
#include <windows.h>
#include <vector>

// The colours of a high-contrast scheme that NetGlow reads.
struct ContrastScheme {
    COLORREF window, windowText, grayText, highlight;
};
// Windows 10's "High Contrast Black" and "High Contrast White".
extern const ContrastScheme HIGH_CONTRAST_BLACK;
extern const ContrastScheme HIGH_CONTRAST_WHITE;
// SPI_GETHIGHCONTRAST answers HCF_HIGHCONTRASTON and GetSysColor the
// scheme's colours; null: the system's own answers again.
void StandInHighContrast(const ContrastScheme* scheme);

struct EntryStandIn {
    const char* name;
    FARPROC entry;
    const char* module = nullptr;  // asked of this DLL only; null: of any
};
// GetProcAddress answers these names with the stand-ins and every other
// name as the system does; an empty list puts the system's back. False when
// the test program does not import GetProcAddress.
bool StandInEntries(const std::vector<EntryStandIn>& entries);

// Where Windows keeps the light or dark mode of the taskbar and of apps.
extern const char PERSONALIZE_KEY[];
