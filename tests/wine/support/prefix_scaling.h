// The display scaling of the Wine prefix. Wine takes it from "LogPixels"
// when a process starts, so a scaling is seen by a fresh copy of the test
// program, started while the prefix is set to it.
#pragma once
#include <windows.h>
#include <string>
#include "registry_seed.h"

// Sets LogPixels for the life of the object, then puts back what was there.
class PrefixScaling : public TemporaryValue {
public:
    explicit PrefixScaling(DWORD dpi)
        : TemporaryValue(HKEY_CURRENT_USER, "Control Panel\\Desktop", "LogPixels", REG_DWORD, &dpi, sizeof dpi)
    {
    }
};

// Runs this test program with one argument and returns what it printed,
// without the final line end ("<not started>", or "<still running>" after
// 30 s).
std::string RunThisProgram(const char* argument);
