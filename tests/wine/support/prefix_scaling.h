// The display scaling of the Wine prefix. Wine takes it from "LogPixels"
// when a process starts, so a scaling is seen by a fresh copy of the test
// program, started while the prefix is set to it.
#pragma once
#include <windows.h>
#include <string>

// Sets LogPixels for the life of the object, then puts back what was there.
class PrefixScaling {
public:
    explicit PrefixScaling(DWORD dpi);
    ~PrefixScaling();
    PrefixScaling(const PrefixScaling&) = delete;
    PrefixScaling& operator=(const PrefixScaling&) = delete;

private:
    HKEY key_ = nullptr;
    DWORD before_ = 0;
    bool had_ = false;
};

// Runs this test program with one argument and returns what it printed,
// without the final line end ("<not started>", or "<still running>" after
// 30 s).
std::string RunThisProgram(const char* argument);
