// The adapter table of this machine, built with Wine's own wpcap.dll in the
// Windows-like environment of prefix "real" (scripts/winelike-env.sh): every
// adapter with an IPv4 address, with its connection name, in the library's
// order.
#include <gtest/gtest.h>
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <iphlpapi.h>
#include <cstring>
#include <string>
#include <vector>
#include "adapters/adapter_build_win.h"
#include "adapters/capture_library_win.h"
#include "app/app_state.h"
#include "support/adapter_doubles.h"

namespace {

// The adapter's IPv4 address as the system reports it; loopback excluded.
std::string AddressOf(const std::string& guid)
{
    ULONG bytes = 64 * 1024;
    std::vector<unsigned char> buffer(bytes);
    auto* adapters = reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data());
    if (GetAdaptersAddresses(AF_INET, 0, nullptr, adapters, &bytes) != NO_ERROR)
        return "";
    for (auto* adapter = adapters; adapter != nullptr; adapter = adapter->Next) {
        if (guid != adapter->AdapterName || adapter->FirstUnicastAddress == nullptr)
            continue;
        auto* address = reinterpret_cast<sockaddr_in*>(adapter->FirstUnicastAddress->Address.lpSockaddr);
        const unsigned char* b = reinterpret_cast<const unsigned char*>(&address->sin_addr);
        if (b[0] == 127)
            return "";
        return std::to_string(b[0]) + "." + std::to_string(b[1]) + "." + std::to_string(b[2]) + "."
            + std::to_string(b[3]);
    }
    return "";
}

std::string ConnectionNameOf(const std::string& guid)
{
    std::string path = "SYSTEM\\ControlSet001\\Control\\Network\\{4D36E972-E325-11CE-BFC1-08002BE10318}\\" + guid
        + "\\Connection";
    char name[500] = "";
    DWORD size = sizeof name - 1;
    if (RegGetValueA(HKEY_LOCAL_MACHINE, path.c_str(), "Name", RRF_RT_REG_SZ, nullptr, name, &size) != ERROR_SUCCESS)
        return "";
    return name;
}

void Build(void* result) { *static_cast<int*>(result) = BuildAdapterTable(); }

TEST(RealAdapters, TableListsThisMachinesAddressedAdapters)
{
    ResetAppState();
    const CaptureLibrary* library = GetCaptureLibrary();
    ASSERT_NE(nullptr, library) << CAPTURE_LIBRARY_MISSING;

    pcap_if_t* devices = nullptr;
    char errorText[PCAP_ERRBUF_SIZE] = "";
    if (library->findalldevs(&devices, errorText) != 0 || devices == nullptr)
        GTEST_SKIP() << "the capture library lists no device here: " << errorText;
    std::vector<AdapterRow> expected;
    std::string openable;
    for (pcap_if_t* device = devices; device != nullptr; device = device->next) {
        const char* brace = std::strchr(device->name, '{');
        std::string guid = brace ? brace : "";
        std::string address = AddressOf(guid);
        if (address.empty())
            continue;
        std::string name = ConnectionNameOf(guid);
        ASSERT_FALSE(name.empty()) << device->name
                                   << " has no connection name: the prefix lacks scripts/winelike-env.sh";
        expected.push_back({ device->name, name, address });
        if (openable.empty())
            openable = device->name;
    }
    library->freealldevs(devices);
    if (expected.empty())
        GTEST_SKIP() << "no adapter of this machine has an IPv4 address";
    pcap_t* capture = library->open_live(openable.c_str(), 64, 1, 1000, errorText);
    if (capture == nullptr)
        GTEST_SKIP() << "capture is not permitted here (run as root): " << errorText;
    library->close(capture);

    app.mainWindow = CreateRecordingWindow();
    int result = -100;
    EXPECT_EQ(std::vector<std::string>{}, Describe(RunRecording(Build, &result)));
    EXPECT_EQ(0, result);
    EXPECT_EQ(expected, AdapterRows());
    DestroyWindow(app.mainWindow);
}

} // namespace
