#include "core/theme_win.h"
#include <cstring>

namespace {

const char PERSONALIZE_KEY[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize";

// The DWORD value under the Personalize key, or `missing` when it is not
// there or not a DWORD.
bool PersonalizeFlag(const char* name, bool missing)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, PERSONALIZE_KEY, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return missing;
    DWORD type = 0, value = 0, size = sizeof value;
    LONG result = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS || type != REG_DWORD || size != sizeof value)
        return missing;
    return value != 0;
}

} // namespace

bool TaskbarUsesLightTheme()
{
    return PersonalizeFlag("SystemUsesLightTheme", false);
}

bool AppsUseLightTheme()
{
    return PersonalizeFlag("AppsUseLightTheme", true);
}

HighContrast HighContrastNow()
{
    HIGHCONTRASTA contrast;
    ZeroMemory(&contrast, sizeof contrast);
    contrast.cbSize = sizeof contrast;
    HighContrast answer = { false, false };
    if (!SystemParametersInfoA(SPI_GETHIGHCONTRAST, sizeof contrast, &contrast, 0))
        return answer;
    answer.on = (contrast.dwFlags & HCF_HIGHCONTRASTON) != 0;
    // Perceived brightness of the window colour (ITU-R BT.601 weights).
    COLORREF window = GetSysColor(COLOR_WINDOW);
    unsigned brightness = (299 * GetRValue(window) + 587 * GetGValue(window) + 114 * GetBValue(window)) / 1000;
    answer.lightOnDark = brightness < 128;
    return answer;
}

bool NamesColourSetChange(LPARAM lParam)
{
    const char* area = reinterpret_cast<const char*>(lParam);
    return area != nullptr && std::strcmp(area, "ImmersiveColorSet") == 0;
}
