#pragma once
#include <windows.h>

void ArmLampTimer(HWND window, UINT milliseconds);
LRESULT OnLampTimer(HWND window, WPARAM timerId, LPARAM unused);
