// The adapter table of this machine, built with Wine's own wpcap.dll in the
// Windows-like environment of prefix "real" (scripts/winelike-env.sh): every
// adapter with an IPv4 address, in the library's order; those the report
// names (all but loopback) with their registry connection name, the rest with
// the IP Helper's name and address.
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
#include "core/app_state.h"
#include "support/adapter_doubles.h"

namespace {

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
    std::vector<SystemAdapter> system = SystemAdaptersWithIpv4();
    std::vector<AdapterRow> expected;
    std::string openable;
    for (pcap_if_t* device = devices; device != nullptr; device = device->next) {
        const char* brace = std::strchr(device->name, '{');
        std::string guid = brace ? brace : "";
        const SystemAdapter* known = nullptr;
        for (const SystemAdapter& adapter : system)
            if (adapter.guid == guid)
                known = &adapter;
        if (known == nullptr)
            continue;
        std::string name = ConnectionNameOf(guid);
        ASSERT_FALSE(name.empty()) << device->name
                                   << " has no connection name: the prefix lacks scripts/winelike-env.sh";
        // The environment names every adapter, the loopback one "Loopback".
        expected.push_back({ device->name, name, known->address });
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
