// Placeholder until the main window lands; removed by that change.
#include "app/main_window_win.h"
LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcA(window, message, wParam, lParam);
}
void RequestQuit() {}
