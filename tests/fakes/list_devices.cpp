// Lists the capture devices that the system's wpcap.dll offers, one per line:
// device name, tab, description, tab, the adapter's IPv4 address as Windows
// reports it (empty when none). Used to prepare a Windows-like Wine prefix.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <iphlpapi.h>
#include <cstdio>
#include <cstring>
#include <vector>
#include "adapters/capture_library_win.h"

namespace {

// The first IPv4 unicast address of the adapter whose name is guid.
void AddressOf(const char* guid, char* text, size_t size)
{
    text[0] = '\0';
    ULONG bytes = 64 * 1024;
    std::vector<unsigned char> buffer(bytes);
    auto* adapters = reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data());
    if (GetAdaptersAddresses(AF_INET, GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER,
                             nullptr, adapters, &bytes) != NO_ERROR)
        return;
    for (auto* adapter = adapters; adapter != nullptr; adapter = adapter->Next) {
        if (std::strcmp(adapter->AdapterName, guid) != 0 || adapter->FirstUnicastAddress == nullptr)
            continue;
        auto* address = reinterpret_cast<sockaddr_in*>(adapter->FirstUnicastAddress->Address.lpSockaddr);
        const unsigned char* b = reinterpret_cast<const unsigned char*>(&address->sin_addr);
        std::snprintf(text, size, "%u.%u.%u.%u", b[0], b[1], b[2], b[3]);
        return;
    }
}

} // namespace

int main()
{
    const CaptureLibrary* library = GetCaptureLibrary();
    if (library == nullptr) {
        std::fprintf(stderr, "%s\n", CAPTURE_LIBRARY_MISSING);
        return 1;
    }
    pcap_if_t* devices = nullptr;
    char errorText[PCAP_ERRBUF_SIZE] = "";
    if (library->findalldevs(&devices, errorText) != 0) {
        std::fprintf(stderr, "pcap_findalldevs: %s\n", errorText);
        return 1;
    }
    for (pcap_if_t* device = devices; device != nullptr; device = device->next) {
        const char* brace = std::strchr(device->name, '{');
        char address[64] = "";
        if (brace != nullptr)
            AddressOf(brace, address, sizeof address);
        std::printf("%s\t%s\t%s\n", device->name, device->description ? device->description : "", address);
    }
    library->freealldevs(devices);
    return 0;
}
