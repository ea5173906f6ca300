// Reads the report of "ipconfig /all" into connection name and IPv4 address
// pairs. The report is in the console (OEM) code page: English, Japanese
// (932), German, French, Spanish, Portuguese, Italian (850) and Chinese (936)
// headings and labels are known. Bytes are kept as they are.
#pragma once
#include <cstdio>
#include "core/adapter_table.h"

enum {
    IPCONFIG_LINE_SIZE = 2000 // a longer line arrives in pieces
};

enum {
    IPCONFIG_OK = 0,
    IPCONFIG_NAME_TOO_LONG,
    IPCONFIG_ADDRESS_TOO_LONG,
    IPCONFIG_TOO_MANY
};

// One line (or piece of a line) of the report, changed in place. Returns
// IPCONFIG_OK or the failure that stops the scan.
int ParseIpconfigLine(IpconfigTable* table, char* line);

// Sets count to 0, then parses every line of the report to its end or to the
// first failure.
int ParseIpconfigReport(IpconfigTable* table, std::FILE* report);

// Message text of a failure.
const char* IpconfigFailureText(int failure);
