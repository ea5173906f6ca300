#include "adapters/capture_library_win.h"
#include <cstdio>
#include <mutex>

const char CAPTURE_LIBRARY_MISSING[] =
    "wpcap.dll could not be loaded: install Npcap (WinPcap API-compatible mode) or WinPcap.";

namespace {

CaptureLibrary library;
const CaptureLibrary* loaded = nullptr;
std::once_flag loadOnce;

// Full path only: a bare name would let the current directory or the program's
// folder supply a planted wpcap.dll. LOAD_WITH_ALTERED_SEARCH_PATH makes the
// DLL's own folder serve its dependencies (Npcap's Packet.dll).
HMODULE LoadFromSystemFolder(const char* subPath)
{
    char path[MAX_PATH];
    UINT length = GetSystemDirectoryA(path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return nullptr;
    int written = snprintf(path + length, MAX_PATH - length, "%s", subPath);
    if (written < 0 || static_cast<UINT>(written) >= MAX_PATH - length)
        return nullptr;
    return LoadLibraryExA(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

template <typename F>
bool Bind(HMODULE module, const char* name, F*& slot)
{
    slot = reinterpret_cast<F*>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    return slot != nullptr;
}

bool BindAll(HMODULE module)
{
    return Bind(module, "pcap_findalldevs", library.findalldevs)
        && Bind(module, "pcap_freealldevs", library.freealldevs)
        && Bind(module, "pcap_open_live", library.open_live)
        && Bind(module, "pcap_lookupnet", library.lookupnet)
        && Bind(module, "pcap_loop", library.loop)
        && Bind(module, "pcap_breakloop", library.breakloop)
        && Bind(module, "pcap_close", library.close);
}

void Load()
{
    static const char* const candidates[] = { "\\Npcap\\wpcap.dll", "\\wpcap.dll" };
    for (const char* candidate : candidates) {
        HMODULE module = LoadFromSystemFolder(candidate);
        if (module == nullptr)
            continue;
        if (BindAll(module)) {
            loaded = &library;
            return;
        }
        FreeLibrary(module);
    }
}

} // namespace

const CaptureLibrary* GetCaptureLibrary()
{
    std::call_once(loadOnce, Load);
    return loaded;
}
