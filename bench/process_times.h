// The CPU time, kernel and user, a process or one thread has used so far in
// ms; -1 when it cannot be read.
#pragma once
#include <windows.h>

inline double TimesMs(BOOL read, FILETIME kernel, FILETIME user)
{
    auto value = [](FILETIME t) { return (static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime; };
    return read ? (value(kernel) + value(user)) / 10000.0 : -1;
}

inline double CpuMs(HANDLE process)
{
    FILETIME created, exited, kernel, user;
    BOOL read = GetProcessTimes(process, &created, &exited, &kernel, &user);
    return TimesMs(read, kernel, user);
}

inline double ThreadCpuMs(HANDLE thread)
{
    FILETIME created, exited, kernel, user;
    BOOL read = GetThreadTimes(thread, &created, &exited, &kernel, &user);
    return TimesMs(read, kernel, user);
}
