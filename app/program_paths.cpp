#include "app/program_paths.h"
#include <cstring>

static bool Join(char* out, size_t size, const char* dir, size_t dirLength, const char* name)
{
    size_t nameLength = std::strlen(name);
    if (dirLength + nameLength >= size)
        return false;
    std::memcpy(out, dir, dirLength);
    std::memcpy(out + dirLength, name, nameLength + 1);
    return true;
}

ProgramPathResult BuildProgramPaths(const char* modulePath, ProgramPaths* paths)
{
    paths->moduleDir[0] = paths->helpPath[0] = paths->logPath[0] = paths->settingsPath[0] = '\0';
    if (modulePath == nullptr || modulePath[0] == '\0')
        return PROGRAM_PATHS_UNACQUIRABLE;

    size_t length = std::strlen(modulePath);
    const char* lastSlash = nullptr;
    for (size_t i = 0; i < length; ++i)
        if (modulePath[i] == '\\')
            lastSlash = modulePath + i;
    size_t dirLength = lastSlash ? static_cast<size_t>(lastSlash - modulePath) + 1 : length;

    const size_t fileNameLength = 11; // "NetGlow.ini" and its two siblings
    if (dirLength + fileNameLength >= sizeof paths->moduleDir)
        return PROGRAM_PATHS_TOO_LONG;

    std::memcpy(paths->moduleDir, modulePath, dirLength);
    paths->moduleDir[dirLength] = '\0';
    Join(paths->helpPath, sizeof paths->helpPath, modulePath, dirLength, "NetGlow.chm");
    Join(paths->logPath, sizeof paths->logPath, modulePath, dirLength, "NetGlow.txt");
    Join(paths->settingsPath, sizeof paths->settingsPath, modulePath, dirLength, "NetGlow.ini");
    return PROGRAM_PATHS_OK;
}
