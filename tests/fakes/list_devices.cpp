// Lists the capture devices that the system's wpcap.dll offers, one per line:
// device name, tab, description, tab, the adapter's IPv4 address as Windows
// reports it (empty when none). Used to prepare a Windows-like Wine prefix.
#include "tests/fakes/system_adapters.h"
#include <cstdio>
#include <cstring>
#include "adapters/capture_library_win.h"

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
    std::vector<SystemAdapter> system = SystemAdaptersWithIpv4();
    for (pcap_if_t* device = devices; device != nullptr; device = device->next) {
        const char* brace = std::strchr(device->name, '{');
        std::string address;
        for (const SystemAdapter& adapter : system)
            if (brace != nullptr && adapter.guid == brace)
                address = adapter.address;
        std::printf("%s\t%s\t%s\n", device->name, device->description ? device->description : "", address.c_str());
    }
    library->freealldevs(devices);
    return 0;
}
