// NetGlow.exe on this machine's own adapters (prefix "bare"): Wine's
// wpcap.dll lists them, the registry names none of them and ipconfig prints
// a German report of other adapters, so the IP Helper alone gives them their
// names and addresses. The saved adapter is found and monitored.
#include "tests/fakes/system_adapters.h"
#include "e2e_common.h"
#include "support/host_shell.h"

namespace {

struct Adapter {
    std::string device, name, address;
};

// This machine's adapters in the capture library's order, each with the IP
// Helper's name and first IPv4 address; empty with the reason when none.
std::vector<Adapter> ListedAdapters(std::string* reason)
{
    SystemCaptureLibrary library;
    std::vector<Adapter> adapters;
    if (!library.Load()) {
        *reason = "no capture library in the system folder";
        return adapters;
    }
    std::vector<SystemAdapter> system = SystemAdaptersWithIpv4();
    char errorText[256] = "";
    pcap_if_t* devices = nullptr;
    if (library.findAll(&devices, errorText) != 0 || devices == nullptr) {
        *reason = std::string("Wine's wpcap.dll lists no device here (it needs root and libpcap): ") + errorText;
        return adapters;
    }
    for (pcap_if_t* device = devices; device != nullptr; device = device->next) {
        const char* brace = strchr(device->name, '{');
        for (const SystemAdapter& adapter : system)
            if (brace != nullptr && adapter.guid == brace)
                adapters.push_back({ device->name, adapter.name, adapter.address });
    }
    library.freeAll(devices);
    pcap_t* capture = adapters.empty() ? nullptr : library.open(adapters.back().device.c_str(), 64, 1, 1000, errorText);
    if (adapters.empty())
        *reason = "no listed device has an IPv4 address";
    else if (capture == nullptr)
        *reason = std::string("capture is not permitted here (run as root): ") + errorText;
    else
        library.close(capture);
    return capture ? adapters : std::vector<Adapter>{};
}

TEST(RealAdapter, ListedAndMonitoredWithoutRegistryNamesFromAGermanReport)
{
    std::string reason;
    std::vector<Adapter> adapters = ListedAdapters(&reason);
    if (adapters.empty())
        GTEST_SKIP() << reason;
    // The last one: under Wine the loopback device comes first.
    int index = static_cast<int>(adapters.size()) - 1;
    const Adapter& chosen = adapters[index];

    NetGlowProcess ng;
    const Keys keys = StandardKeys(chosen.name, "0", "1");
    ASSERT_TRUE(WriteWholeFile(ng.settingsPath, SettingsFile(keys)));
    ASSERT_TRUE(ng.Start());
    ASSERT_NE(nullptr, ng.WaitForMainWindow());
    // Wine's capture library keeps no record of the program's calls.
    EXPECT_TRUE(WaitForLampOnScreen(ICON_IDLE)) << "monitoring did not start on " << chosen.device;
    SeenMessageBox box;
    if (WaitForMessageBoxOf(ng.processId, &box, 1000)) {
        ADD_FAILURE() << "message: " << box.text;
        AnswerMessageBox(box, IDOK);
    }
    ng.Command(CMD_QUIT);
    EXPECT_EQ(0, ng.WaitForExit());
    Keys saved = keys;
    for (auto& key : saved)
        if (key.first == "CardIndex")
            key.second = std::to_string(index);
    EXPECT_EQ(SettingsFile(saved), ReadFileBytes(ng.settingsPath));
}

} // namespace
