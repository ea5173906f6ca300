// The traffic graph window, opened from the tray menu.
#pragma once
#include <windows.h>

// Opens the window, or brings it to the front when it is open.
void ShowTrafficGraph();
