// Fixed-size adapter tables shared by the discovery steps, the capture thread
// and the Setup dialog. Plain data, no Windows types: the table logic is
// built and tested natively.
#pragma once
#include <cstdint>
#include "core/result_codes.h"

enum {
    ADAPTER_MAX = 100,       // rows of either table
    ADAPTER_TEXT_SIZE = 500, // bytes of each text field, terminator included
    ADAPTER_TEXT_MAX = 499   // characters that fit
};

struct AdapterTable {
    int32_t count;
    char deviceName[ADAPTER_MAX][ADAPTER_TEXT_SIZE];
    char connectionName[ADAPTER_MAX][ADAPTER_TEXT_SIZE];
    char ipv4Address[ADAPTER_MAX][ADAPTER_TEXT_SIZE];
};

struct IpconfigTable {
    int32_t count;
    char connectionName[ADAPTER_MAX][ADAPTER_TEXT_SIZE];
    char ipv4Address[ADAPTER_MAX][ADAPTER_TEXT_SIZE];
};
