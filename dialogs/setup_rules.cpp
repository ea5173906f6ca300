#include "dialogs/setup_rules.h"

namespace {
bool IsBlank(char c) { return c == ' ' || c == '\t'; }
}

bool ReadTimeoutText(const char* text, uint32_t* value)
{
    *value = 0;
    if (text == nullptr)
        return false;
    const char* p = text;
    while (IsBlank(*p))
        ++p;
    if (*p < '0' || *p > '9')
        return false;
    uint64_t number = 0;
    while (*p >= '0' && *p <= '9') {
        number = number * 10 + static_cast<uint64_t>(*p - '0');
        if (number > 0xFFFFFFFFull)
            return false;
        ++p;
    }
    while (IsBlank(*p))
        ++p;
    if (*p != '\0')
        return false;
    *value = static_cast<uint32_t>(number);
    return true;
}

int SetupControlsDiffer(const SetupControls& c, const SetupValues& v)
{
    if (c.listSelection != -1 && c.listSelection != v.selectedIndex)
        return 1;
    if ((v.ColorSend == 1 && !c.sendRed) || (v.ColorSend == 2 && !c.sendYellow))
        return 1;
    if ((v.ColorRecv == 1 && !c.recvRed) || (v.ColorRecv == 2 && !c.recvYellow))
        return 1;
    if ((v.StartOpt == 1 && !c.startOpt) || (v.StartOpt == 0 && c.startOpt))
        return 1;
    if ((v.NowOpt == 1 && !c.nowOpt) || (v.NowOpt == 0 && c.nowOpt))
        return 1;
    // The field shows TimeoutP as unsigned, so compare in that form.
    if (c.timeout != static_cast<uint32_t>(v.TimeoutP))
        return 1;
    return 0;
}

bool SetupCardChosen(int32_t count, int32_t listSelection)
{
    return listSelection == SETUP_AUTOMATIC || (count > 0 && listSelection >= 0 && listSelection < count);
}

int32_t ChoiceOfListItem(int32_t item)
{
    if (item < 0)
        return -1;
    return item == 0 ? SETUP_AUTOMATIC : item - 1;
}

int32_t PreselectedListItem(int32_t cardAuto, bool firstRun, int32_t selectedIndex, int32_t count)
{
    if (cardAuto == 1 || firstRun)
        return 0;
    if (selectedIndex >= 0)
        return selectedIndex < count ? selectedIndex + 1 : -1;
    return count > 0 ? 1 : -1;
}
