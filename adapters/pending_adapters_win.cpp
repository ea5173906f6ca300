// Placeholder until adapter discovery lands; removed by that change.
#include "adapters/adapter_build_win.h"
int FindAdapterByName() { return 0; }
int BuildAdapterTable() { return 0; }
