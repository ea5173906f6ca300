#include "adapters/adapter_build_win.h"
#include "adapters/adapter_rows.h"
#include "core/app_state.h"

void FindAdapterByName()
{
    app.selectedIndex = FindAdapterIndex(&app.adapters, app.CardName);
}

int BuildAdapterTable()
{
    if (EnumerateCaptureDevices() != RESULT_OK)
        return RESULT_STEP_FAILED;
    if (RunAddressScan() != RESULT_OK)
        return RESULT_LIMIT;
    char controlSet[4];
    if (ReadCurrentControlSet(controlSet) != RESULT_OK)
        return RESULT_STEP_FAILED;
    if (ReadConnectionNames(controlSet) != RESULT_OK)
        return RESULT_STEP_FAILED;
    FillMissingAddresses();
    CompactAdapterTable(&app.adapters);
    return RESULT_OK;
}
