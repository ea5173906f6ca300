// Placeholder until the settings store lands; removed by that change.
#include "app/settings_win.h"
int LoadTrayWaitSettings() { return 0; }
int LoadSettings() { return 0; }
int SaveSettings() { return 0; }
