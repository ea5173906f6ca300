// Demo and test environment only: Wine's own wpcap.dll lists and opens real
// adapters but fails pcap_lookupnet for every device and has no working
// pcap_loop, which a Windows capture driver does. This shim, installed where
// Npcap would be, forwards every call to Wine's library, answers
// pcap_lookupnet itself and runs pcap_loop as repeated pcap_dispatch calls
// for one frame each (the form that delivers frames under Wine). NetGlow
// knows nothing of it.
#include <winsock2.h>
#include <windows.h>
#include <pcap/pcap.h>

namespace {

HMODULE wine = nullptr;
void* volatile breaking = nullptr; // the handle whose loop is to end

FARPROC Real(const char* name)
{
    if (wine == nullptr) {
        char path[MAX_PATH];
        UINT length = GetSystemDirectoryA(path, MAX_PATH);
        if (length == 0 || length + 12 >= MAX_PATH)
            return nullptr;
        lstrcpyA(path + length, "\\wpcap.dll");
        wine = LoadLibraryA(path);
    }
    return wine ? GetProcAddress(wine, name) : nullptr;
}

template <typename F>
F* Lookup(const char* name)
{
    return reinterpret_cast<F*>(reinterpret_cast<void*>(Real(name)));
}

} // namespace

extern "C" {

int pcap_findalldevs(pcap_if_t** list, char* error)
{
    auto* real = Lookup<decltype(pcap_findalldevs)>("pcap_findalldevs");
    if (real == nullptr) {
        lstrcpynA(error, "Wine's wpcap.dll is missing", PCAP_ERRBUF_SIZE);
        return -1;
    }
    return real(list, error);
}

void pcap_freealldevs(pcap_if_t* list)
{
    if (auto* real = Lookup<decltype(pcap_freealldevs)>("pcap_freealldevs"))
        real(list);
}

pcap_t* pcap_open_live(const char* device, int snaplen, int promisc, int timeout, char* error)
{
    auto* real = Lookup<decltype(pcap_open_live)>("pcap_open_live");
    return real ? real(device, snaplen, promisc, timeout, error) : nullptr;
}

int pcap_lookupnet(const char*, bpf_u_int32* network, bpf_u_int32* mask, char*)
{
    *network = 0;
    *mask = 0;
    return 0;
}

int pcap_dispatch(pcap_t* handle, int count, pcap_handler callback, u_char* user)
{
    auto* real = Lookup<decltype(pcap_dispatch)>("pcap_dispatch");
    return real ? real(handle, count, callback, user) : -1;
}

int pcap_loop(pcap_t* handle, int count, pcap_handler callback, u_char* user)
{
    InterlockedExchangePointer(&breaking, nullptr);
    int delivered = 0;
    while (count <= 0 || delivered < count) {
        int got = pcap_dispatch(handle, 1, callback, user);
        if (InterlockedCompareExchangePointer(&breaking, nullptr, nullptr) == handle)
            return -2;
        if (got < 0)
            return got;
        delivered += got;
    }
    return 0;
}

void pcap_breakloop(pcap_t* handle)
{
    InterlockedExchangePointer(&breaking, handle);
    if (auto* real = Lookup<decltype(pcap_breakloop)>("pcap_breakloop"))
        real(handle);
}

void pcap_close(pcap_t* handle)
{
    if (auto* real = Lookup<decltype(pcap_close)>("pcap_close"))
        real(handle);
}

} // extern "C"
