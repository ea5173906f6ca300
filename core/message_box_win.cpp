#include "core/message_box_win.h"
#include "core/app_state.h"

int ShowAppMessage(HWND owner, const char* text, UINT style)
{
    ++app.messageBoxOpen;
    int answer = MessageBoxA(owner, text, app.caption, style);
    --app.messageBoxOpen;
    return answer;
}
