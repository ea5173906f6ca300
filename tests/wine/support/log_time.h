// Expected log lines in the zone the test runs in. The fixtures are written
// for UTC; each "Time=YYYY/MM/DD hh:mm:ss" field is moved by `shiftSeconds`
// and turned into local time as Windows itself reports it (not through the C
// library the program uses). Header only: the Wine tests and the end-to-end
// runs share it.
#pragma once
#include <windows.h>
#include <cstdio>
#include <cstdint>
#include <string>

inline std::string InLocalTime(std::string log, long long shiftSeconds = 0)
{
    const size_t FIELD = 19; // YYYY/MM/DD hh:mm:ss
    for (size_t at = log.find("Time="); at != std::string::npos; at = log.find("Time=", at + 1)) {
        SYSTEMTIME utc = {}, local = {};
        if (std::sscanf(log.c_str() + at + 5, "%4hu/%2hu/%2hu %2hu:%2hu:%2hu", &utc.wYear, &utc.wMonth,
                        &utc.wDay, &utc.wHour, &utc.wMinute, &utc.wSecond) != 6)
            continue;
        FILETIME file;
        SystemTimeToFileTime(&utc, &file);
        ULARGE_INTEGER ticks = { { file.dwLowDateTime, file.dwHighDateTime } };
        ticks.QuadPart += static_cast<ULONGLONG>(shiftSeconds * 10000000LL);
        file.dwLowDateTime = ticks.LowPart;
        file.dwHighDateTime = ticks.HighPart;
        FileTimeToSystemTime(&file, &utc);
        if (!SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local))
            continue;
        char text[32];
        std::snprintf(text, sizeof text, "%04u/%02u/%02u %02u:%02u:%02u", local.wYear, local.wMonth, local.wDay,
                      local.wHour, local.wMinute, local.wSecond);
        log.replace(at + 5, FIELD, text);
    }
    return log;
}

// "YYYY/MM/DD hh:mm:ss" of a Unix time (a capture tool's frame time) in local
// time, by the system's own conversion, apart from the C runtime's that the
// program uses.
inline std::string LocalTimeText(uint32_t unixSeconds)
{
    ULONGLONG ticks = (static_cast<ULONGLONG>(unixSeconds) + 11644473600ULL) * 10000000ULL;
    FILETIME utc = { static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32) };
    SYSTEMTIME universal, local;
    FileTimeToSystemTime(&utc, &universal);
    SystemTimeToTzSpecificLocalTime(nullptr, &universal, &local);
    char text[32];
    std::snprintf(text, sizeof text, "%04u/%02u/%02u %02u:%02u:%02u", local.wYear, local.wMonth, local.wDay,
                  local.wHour, local.wMinute, local.wSecond);
    return text;
}
