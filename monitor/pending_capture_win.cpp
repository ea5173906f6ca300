// Placeholder until the capture thread lands; removed by that change.
#include "monitor/capture_win.h"
int StartMonitoring() { return 0; }
int StopMonitoring() { return 0; }
