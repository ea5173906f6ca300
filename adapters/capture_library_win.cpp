#include "adapters/capture_library_win.h"
#include "adapters/system_library_win.h"
#include <mutex>

const char CAPTURE_LIBRARY_MISSING[] =
    "wpcap.dll could not be loaded: install Npcap from https://npcap.com (its WinPcap API-compatible mode is not "
    "needed; NetGlow looks in Npcap's own folder first).";

namespace {

CaptureLibrary library;
const CaptureLibrary* loaded = nullptr;
std::once_flag loadOnce;

template <typename F>
bool Bind(HMODULE module, const char* name, F*& slot)
{
    slot = BindEntry<F>(module, name);
    return slot != nullptr;
}

bool BindAll(HMODULE module)
{
    return Bind(module, "pcap_findalldevs", library.findalldevs)
        && Bind(module, "pcap_freealldevs", library.freealldevs)
        && Bind(module, "pcap_open_live", library.open_live)
        && Bind(module, "pcap_lookupnet", library.lookupnet)
        && Bind(module, "pcap_dispatch", library.dispatch)
        && Bind(module, "pcap_breakloop", library.breakloop)
        && Bind(module, "pcap_close", library.close);
}

// The immediate-delivery entry points are optional; the create sequence is
// used only when every step of it is there.
void BindImmediateDelivery(HMODULE module)
{
    bool sequence = Bind(module, "pcap_create", library.create)
        && Bind(module, "pcap_set_snaplen", library.set_snaplen)
        && Bind(module, "pcap_set_promisc", library.set_promisc)
        && Bind(module, "pcap_set_timeout", library.set_timeout)
        && Bind(module, "pcap_set_immediate_mode", library.set_immediate_mode)
        && Bind(module, "pcap_activate", library.activate);
    if (!sequence)
        library.create = nullptr;
    Bind(module, "pcap_setmintocopy", library.setmintocopy);
    Bind(module, "pcap_datalink", library.datalink);
}

void Load()
{
    // From the system folder only (see LoadSystemLibrary).
    // LOAD_WITH_ALTERED_SEARCH_PATH makes the DLL's own folder serve its
    // dependencies (Npcap's Packet.dll).
    static const char* const candidates[] = { "Npcap\\wpcap.dll", "wpcap.dll" };
    for (const char* candidate : candidates) {
        HMODULE module = LoadSystemLibrary(candidate, LOAD_WITH_ALTERED_SEARCH_PATH);
        if (module == nullptr)
            continue;
        if (BindAll(module)) {
            BindImmediateDelivery(module);
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

pcap_t* OpenLiveCapture(const CaptureLibrary& lib, const char* deviceName, int snapshotLength,
                        int promiscuous, int readTimeoutMs)
{
    char errorText[PCAP_ERRBUF_SIZE] = "";
    if (lib.create != nullptr) {
        pcap_t* handle = lib.create(deviceName, errorText);
        if (handle == nullptr)
            return nullptr;
        lib.set_snaplen(handle, snapshotLength);
        lib.set_promisc(handle, promiscuous);
        lib.set_timeout(handle, readTimeoutMs);
        lib.set_immediate_mode(handle, 1);
        // Positive results are warnings (no promiscuous mode, say): the
        // device still captures.
        if (lib.activate(handle) < 0) {
            lib.close(handle);
            return nullptr;
        }
        return handle;
    }
    pcap_t* handle = lib.open_live(deviceName, snapshotLength, promiscuous, readTimeoutMs, errorText);
    if (handle != nullptr && lib.setmintocopy != nullptr)
        lib.setmintocopy(handle, 0);
    return handle;
}
