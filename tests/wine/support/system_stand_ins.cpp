#include "support/system_stand_ins.h"
#include <cstring>
#include "support/import_patch.h"

const ContrastScheme HIGH_CONTRAST_BLACK = { RGB(0, 0, 0), RGB(255, 255, 255), RGB(63, 242, 63), RGB(26, 235, 255) };
const ContrastScheme HIGH_CONTRAST_WHITE = { RGB(255, 255, 255), RGB(0, 0, 0), RGB(96, 0, 0), RGB(55, 0, 110) };
const char PERSONALIZE_KEY[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize";

namespace {

decltype(&SystemParametersInfoA) realParameters = nullptr;
decltype(&GetSysColor) realColour = nullptr;
const ContrastScheme* scheme = nullptr;

BOOL WINAPI SchemeParameters(UINT action, UINT size, PVOID data, UINT update)
{
    if (action != SPI_GETHIGHCONTRAST)
        return realParameters(action, size, data, update);
    static_cast<HIGHCONTRASTA*>(data)->dwFlags = HCF_AVAILABLE | HCF_HIGHCONTRASTON;
    static_cast<HIGHCONTRASTA*>(data)->lpszDefaultScheme = nullptr;
    return TRUE;
}

DWORD WINAPI SchemeColour(int index)
{
    switch (index) {
    case COLOR_WINDOW:
        return scheme->window;
    case COLOR_WINDOWTEXT:
        return scheme->windowText;
    case COLOR_GRAYTEXT:
        return scheme->grayText;
    case COLOR_HIGHLIGHT:
        return scheme->highlight;
    }
    return realColour(index);
}

decltype(&GetProcAddress) realProcAddress = nullptr;
std::vector<EntryStandIn> standIns;

FARPROC WINAPI ProcAddressWithStandIns(HMODULE module, LPCSTR name)
{
    bool named = HIWORD(reinterpret_cast<ULONG_PTR>(name)) != 0;
    for (const EntryStandIn& standIn : standIns)
        if (named && std::strcmp(name, standIn.name) == 0
            && (standIn.module == nullptr || module == GetModuleHandleA(standIn.module)))
            return standIn.entry;
    return realProcAddress(module, name);
}

} // namespace

void StandInHighContrast(const ContrastScheme* contrast)
{
    scheme = contrast;
    if (contrast != nullptr && realColour == nullptr) {
        realParameters = reinterpret_cast<decltype(realParameters)>(
            PatchImport("SystemParametersInfoA", reinterpret_cast<void*>(SchemeParameters)));
        realColour = reinterpret_cast<decltype(realColour)>(
            PatchImport("GetSysColor", reinterpret_cast<void*>(SchemeColour)));
    } else if (contrast == nullptr && realColour != nullptr) {
        PatchImport("SystemParametersInfoA", reinterpret_cast<void*>(realParameters));
        PatchImport("GetSysColor", reinterpret_cast<void*>(realColour));
        realParameters = nullptr;
        realColour = nullptr;
    }
}

bool StandInEntries(const std::vector<EntryStandIn>& entries)
{
    standIns = entries;
    if (!entries.empty() && realProcAddress == nullptr) {
        realProcAddress = reinterpret_cast<decltype(realProcAddress)>(
            PatchImport("GetProcAddress", reinterpret_cast<void*>(ProcAddressWithStandIns)));
    } else if (entries.empty() && realProcAddress != nullptr) {
        PatchImport("GetProcAddress", reinterpret_cast<void*>(realProcAddress));
        realProcAddress = nullptr;
    }
    return entries.empty() || realProcAddress != nullptr;
}
