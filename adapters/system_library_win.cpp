#include "adapters/system_library_win.h"
#include <cstdio>
#include <mutex>

HMODULE LoadSystemLibrary(const char* fileName)
{
    char path[MAX_PATH];
    UINT length = GetSystemDirectoryA(path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return nullptr;
    int written = std::snprintf(path + length, MAX_PATH - length, "\\%s", fileName);
    if (written < 0 || static_cast<UINT>(written) >= MAX_PATH - length)
        return nullptr;
    return LoadLibraryExA(path, nullptr, 0);
}

GetAdaptersAddressesFn* LoadGetAdaptersAddresses()
{
    static GetAdaptersAddressesFn* function = nullptr;
    static std::once_flag once;
    std::call_once(once, [] {
        HMODULE module = LoadSystemLibrary("iphlpapi.dll");
        if (module != nullptr)
            function = reinterpret_cast<GetAdaptersAddressesFn*>(
                reinterpret_cast<void*>(GetProcAddress(module, "GetAdaptersAddresses")));
    });
    return function;
}
