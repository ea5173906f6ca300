// The whole adapter table build against the doubles: fake capture devices,
// the fake ipconfig's report and registry keys seeded for control set 201;
// and the IP Helper's answer for this machine's own adapters, whose GUIDs
// the fake capture library then lists.
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "adapters/adapter_build_win.h"
#include "core/app_state.h"
#include "support/adapter_doubles.h"

namespace {

using Lines = std::vector<std::string>;

const std::string CLASS_KEY = "SYSTEM\\ControlSet201\\Control\\Network\\{4D36E972-E325-11CE-BFC1-08002BE10318}";
const std::string GUID0 = "{10000000-0000-0000-0000-000000000000}";
const std::string GUID1 = "{20000000-0000-0000-0000-000000000000}";
const std::string GUID2 = "{30000000-0000-0000-0000-000000000000}";

struct Outcome {
    int result = 0;
};
void Build(void* outcome) { static_cast<Outcome*>(outcome)->result = BuildAdapterTable(); }

std::string Device(const std::string& guid) { return "\\Device\\NPF_" + guid; }

class AdapterBuild : public ControlSetTest {
protected:
    void SetUp() override
    {
        ControlSetTest::SetUp();
        ASSERT_TRUE(SeedDword("SYSTEM\\Select", "Current", 201));
        SetFakeCaptureDevices({ "device=" + Device(GUID0), "device=" + Device(GUID1), "device=" + Device(GUID2) });
        // Ethernet 192.168.178.24 and vEthernet (Default Switch) 172.21.240.1;
        // Wi-Fi has no address.
        SetFakeIpconfigReport(FixturePath("ipconfig/win10_english.txt"));
    }
    void TearDown() override
    {
        ControlSetTest::TearDown();
        SetFakeIpconfigReport("");
    }
    Lines Built(Outcome* outcome) { return Describe(RunRecording(Build, outcome)); }
};

TEST_F(AdapterBuild, OnlyTheSecondDeviceHasAnAddress)
{
    ASSERT_TRUE(SeedConnection(CLASS_KEY, GUID0, "Wi-Fi"));
    ASSERT_TRUE(SeedConnection(CLASS_KEY, GUID1, "Ethernet"));
    Outcome outcome;
    EXPECT_EQ(Lines{}, Built(&outcome));
    EXPECT_EQ(0, outcome.result);
    EXPECT_EQ((std::vector<AdapterRow>{ { Device(GUID1), "Ethernet", "192.168.178.24" } }), AdapterRows());
}

TEST_F(AdapterBuild, FirstAndThirdKeepTheirOrder)
{
    ASSERT_TRUE(SeedConnection(CLASS_KEY, GUID0, "vEthernet (Default Switch)"));
    ASSERT_TRUE(SeedConnection(CLASS_KEY, GUID1, "Wi-Fi"));
    ASSERT_TRUE(SeedConnection(CLASS_KEY, GUID2, "Ethernet"));
    Outcome outcome;
    EXPECT_EQ(Lines{}, Built(&outcome));
    EXPECT_EQ(0, outcome.result);
    EXPECT_EQ((std::vector<AdapterRow>{ { Device(GUID0), "vEthernet (Default Switch)", "172.21.240.1" },
                                   { Device(GUID2), "Ethernet", "192.168.178.24" } }),
              AdapterRows());
}

TEST_F(AdapterBuild, NoAddressAtAllIsAnEmptyTable)
{
    ASSERT_TRUE(SeedConnection(CLASS_KEY, GUID1, "Wi-Fi"));
    Outcome outcome;
    EXPECT_EQ(Lines{}, Built(&outcome));
    EXPECT_EQ(0, outcome.result);
    EXPECT_EQ(0, app.adapters.count);
}

// The report prints names in the OEM code page, the registry holds them in
// the ANSI one: a renamed connection with accented letters still matches.
TEST_F(AdapterBuild, AccentedConnectionNameMatchesAcrossCodePages)
{
    if (GetOEMCP() == GetACP())
        GTEST_SKIP() << "this system has one code page for both (" << GetACP() << ")";
    const std::string registryName = "Caf\xE9 Wi-Fi \xFC" "ber Br\xFC" "cke"; // 1252
    char converted[64] = "";
    WCHAR wide[64];
    MultiByteToWideChar(CP_ACP, 0, registryName.c_str(), -1, wide, 64);
    WideCharToMultiByte(CP_OEMCP, 0, wide, -1, converted, sizeof converted, nullptr, nullptr);
    if (std::string(converted) != "Caf\x82 Wi-Fi \x81" "ber Br\x81" "cke")
        GTEST_SKIP() << "the OEM code page " << GetOEMCP() << " is not a Western one";
    ASSERT_TRUE(SeedConnection(CLASS_KEY, GUID1, registryName));
    SetFakeIpconfigReport(FixturePath("ipconfig/renamed_accented.txt"));
    Outcome outcome;
    EXPECT_EQ(Lines{}, Built(&outcome));
    EXPECT_EQ(0, outcome.result);
    EXPECT_EQ((std::vector<AdapterRow>{ { Device(GUID1), registryName, "192.168.5.20" } }), AdapterRows());
}

// Devices that the report and the registry leave without an address get the
// IP Helper's name and first IPv4 address, matched by GUID; a device they did
// fill keeps its row even where the IP Helper knows another address.
TEST_F(AdapterBuild, IpHelperFillsWhatReportAndRegistryLeft)
{
    std::vector<SystemAdapter> system = SystemAdaptersWithIpv4();
    if (system.empty())
        GTEST_SKIP() << "the IP Helper reports no adapter with an IPv4 address here";
    std::vector<std::string> devices = { "device=" + Device(GUID0) };
    for (const SystemAdapter& adapter : system)
        devices.push_back("device=" + Device(adapter.guid));
    SetFakeCaptureDevices(devices);
    SetFakeIpconfigReport(FixturePath("ipconfig/german_win10.txt"));
    ASSERT_TRUE(SeedConnection(CLASS_KEY, GUID0, "Ethernet"));
    ASSERT_TRUE(SeedConnection(CLASS_KEY, system[0].guid, "VirtualBox Host-Only Network"));

    Outcome outcome;
    EXPECT_EQ(Lines{}, Built(&outcome));
    EXPECT_EQ(0, outcome.result);
    std::vector<AdapterRow> expected = { { Device(GUID0), "Ethernet", "192.168.178.31" },
                                    { Device(system[0].guid), "VirtualBox Host-Only Network", "192.168.56.1" } };
    for (size_t i = 1; i < system.size(); ++i)
        expected.push_back({ Device(system[i].guid), system[i].name, system[i].address });
    EXPECT_EQ(expected, AdapterRows());
}

// Where the report names no adapter at all (a language it does not know),
// the IP Helper alone fills the table.
TEST_F(AdapterBuild, IpHelperAloneWithoutReportOrRegistry)
{
    std::vector<SystemAdapter> system = SystemAdaptersWithIpv4();
    if (system.empty())
        GTEST_SKIP() << "the IP Helper reports no adapter with an IPv4 address here";
    std::vector<std::string> devices;
    std::vector<AdapterRow> expected;
    for (const SystemAdapter& adapter : system) {
        devices.push_back("device=" + Device(adapter.guid));
        expected.push_back({ Device(adapter.guid), adapter.name, adapter.address });
    }
    SetFakeCaptureDevices(devices);
    SetFakeIpconfigReport("");
    ASSERT_TRUE(SeedKey(CLASS_KEY));
    Outcome outcome;
    EXPECT_EQ(Lines{}, Built(&outcome));
    EXPECT_EQ(0, outcome.result);
    EXPECT_EQ(expected, AdapterRows());
}

TEST_F(AdapterBuild, FailingStepsAndTheirResults)
{
    Outcome outcome;
    // Step 1: no capture device.
    SetFakeCaptureDevices({});
    EXPECT_EQ(Lines{ "error: The network card which can be processed by WinPcap was not found.\n"
                     " (administrator authority or XP compatibility mode may be necessity at NetGlow.)" },
              Built(&outcome));
    EXPECT_EQ(-8, outcome.result);

    // Step 2: the scan fails; the missing network key would have shown its
    // own message had steps 3 and 4 run.
    SetFakeCaptureDevices({ "device=" + Device(GUID0) });
    SetFakeIpconfigReport(FixturePath("ipconfig/name_500.txt"));
    EXPECT_EQ(Lines{ "question: A connection name is too long." }, Built(&outcome));
    EXPECT_EQ(-9, outcome.result);

    // Step 3: no "Current" value.
    SetFakeIpconfigReport(FixturePath("ipconfig/win10_english.txt"));
    RemoveTree("SYSTEM\\Select");
    ASSERT_TRUE(SeedKey("SYSTEM\\Select"));
    EXPECT_EQ(Lines{ "question: Data was unacquirable from registry." }, Built(&outcome));
    EXPECT_EQ(-8, outcome.result);

    // Step 4: no network key; the table is left uncompacted.
    ASSERT_TRUE(SeedDword("SYSTEM\\Select", "Current", 201));
    SetFakeCaptureDevices({ "device=" + Device(GUID0), "device=" + Device(GUID1) });
    EXPECT_EQ(Lines{ "question: Registry was not able to be opened." }, Built(&outcome));
    EXPECT_EQ(-8, outcome.result);
    EXPECT_EQ((std::vector<AdapterRow>{ { Device(GUID0), "", "" }, { Device(GUID1), "", "" } }), AdapterRows());
}

TEST(FindAdapterByName, ExactCaseSensitiveFirstMatch)
{
    ResetAppState();
    const char* names[] = { "Ethernet", "Wi-Fi", "Ethernet", "" };
    for (int i = 0; i < 4; ++i)
        lstrcpynA(app.adapters.connectionName[i], names[i], ADAPTER_TEXT_SIZE);
    struct Case {
        int count;
        const char* cardName;
        int selected;
    } cases[] = {
        { 4, "Ethernet", 0 }, { 4, "Wi-Fi", 1 }, { 4, "wi-fi", -1 }, { 4, "Ethernet 2", -1 },
        { 4, "", 3 }, { 3, "", -1 }, { 0, "Ethernet", -1 },
    };
    for (const Case& c : cases) {
        app.adapters.count = c.count;
        lstrcpynA(app.CardName, c.cardName, sizeof app.CardName);
        app.selectedIndex = 7;
        FindAdapterByName();
        EXPECT_EQ(c.selected, app.selectedIndex.load()) << c.cardName << " in " << c.count;
    }
}

} // namespace
