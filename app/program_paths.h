// The program's directory and the three files beside it.
#pragma once
#include <cstddef>

enum ProgramPathResult {
    PROGRAM_PATHS_OK = 0,
    PROGRAM_PATHS_UNACQUIRABLE = 1, // the module path was empty
    PROGRAM_PATHS_TOO_LONG = 2      // the directory leaves no room for a file name
};

struct ProgramPaths {
    char moduleDir[512];
    char helpPath[512];
    char logPath[512];
    char settingsPath[512];
};

// From the program's full file name: the directory keeps its trailing
// backslash (a name without one stays whole), and each of the three paths
// must fit a 512-byte field, so the directory may have up to 500 characters.
ProgramPathResult BuildProgramPaths(const char* modulePath, ProgramPaths* paths);
