#include "app/windows_version.h"

bool IsSupportedVersion(uint32_t platformId, uint32_t majorVersion)
{
    const uint32_t platformNt = 2;
    return platformId == platformNt && majorVersion > 4;
}
