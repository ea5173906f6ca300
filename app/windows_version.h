#pragma once
#include <cstdint>

// Windows 2000 and later: the NT platform (2) with a major version above 4.
// A failed version query leaves both zero, which is not supported.
bool IsSupportedVersion(uint32_t platformId, uint32_t majorVersion);
