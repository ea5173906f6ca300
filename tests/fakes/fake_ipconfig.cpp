// Test double of "ipconfig /all": writes a prepared report byte for byte.
// Built twice: as the test double, which prints the file named by
// NETGLOW_FAKE_IPCONFIG (nothing when unset), and for the Windows-like Wine
// environment, which prints ipconfig-all.txt from its own folder. Either
// appends its own path to the file named by NETGLOW_FAKE_IPCONFIG_CALLS, so
// that a test sees which copy ran.
#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

bool ReportPath(char* path, DWORD size)
{
#ifdef REPORT_BESIDE_PROGRAM
    DWORD length = GetModuleFileNameA(nullptr, path, size);
    if (length == 0 || length >= size)
        return false;
    char* slash = std::strrchr(path, '\\');
    if (slash == nullptr)
        return false;
    const char name[] = "ipconfig-all.txt";
    if (static_cast<size_t>(slash + 1 - path) + sizeof name > size)
        return false;
    std::memcpy(slash + 1, name, sizeof name);
    return true;
#else
    DWORD length = GetEnvironmentVariableA("NETGLOW_FAKE_IPCONFIG", path, size);
    return length > 0 && length < size;
#endif
}

void LogCall()
{
    char log[1024];
    DWORD length = GetEnvironmentVariableA("NETGLOW_FAKE_IPCONFIG_CALLS", log, sizeof log);
    if (length == 0 || length >= sizeof log)
        return;
    char self[1024];
    length = GetModuleFileNameA(nullptr, self, sizeof self);
    if (length == 0 || length >= sizeof self)
        return;
    std::FILE* calls = std::fopen(log, "ab");
    if (calls == nullptr)
        return;
    std::fprintf(calls, "%s\r\n", self);
    std::fclose(calls);
}

} // namespace

int main()
{
    LogCall();
    char delay[32];
    DWORD length = GetEnvironmentVariableA("NETGLOW_FAKE_IPCONFIG_DELAY_MS", delay, sizeof delay);
    if (length > 0 && length < sizeof delay)
        Sleep(static_cast<DWORD>(std::strtoul(delay, nullptr, 10)));

    char path[1024];
    if (!ReportPath(path, sizeof path))
        return 0;
    std::FILE* report = std::fopen(path, "rb");
    if (report == nullptr)
        return 1;
    _setmode(_fileno(stdout), _O_BINARY);
    char buffer[4096];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, report)) > 0)
        std::fwrite(buffer, 1, got, stdout);
    std::fclose(report);
    std::fflush(stdout);
    return 0;
}
