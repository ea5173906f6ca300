// Table logic of adapter discovery: selection by name, compaction, GUID
// matching, the IP Helper fill, taking capture devices and the listing-failure
// text.
#include <gtest/gtest.h>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>
#include "adapters/adapter_rows.h"

namespace {

struct Entry {
    std::string device, name, address;
    bool operator==(const Entry& o) const { return device == o.device && name == o.name && address == o.address; }
};

std::ostream& operator<<(std::ostream& out, const Entry& e)
{
    return out << "{" << e.device << ", " << e.name << ", " << e.address << "}";
}

std::unique_ptr<AdapterTable> MakeTable(const std::vector<Entry>& entries)
{
    auto table = std::make_unique<AdapterTable>();
    std::memset(table.get(), 0x5A, sizeof *table); // leftovers of an earlier build
    for (int i = 0; i < ADAPTER_MAX; ++i)
        table->deviceName[i][ADAPTER_TEXT_SIZE - 1] = table->connectionName[i][ADAPTER_TEXT_SIZE - 1]
            = table->ipv4Address[i][ADAPTER_TEXT_SIZE - 1] = '\0';
    table->count = static_cast<int32_t>(entries.size());
    for (size_t i = 0; i < entries.size(); ++i) {
        std::snprintf(table->deviceName[i], ADAPTER_TEXT_SIZE, "%s", entries[i].device.c_str());
        std::snprintf(table->connectionName[i], ADAPTER_TEXT_SIZE, "%s", entries[i].name.c_str());
        std::snprintf(table->ipv4Address[i], ADAPTER_TEXT_SIZE, "%s", entries[i].address.c_str());
    }
    return table;
}

std::vector<Entry> EntriesOf(const AdapterTable& table)
{
    std::vector<Entry> entries;
    for (int i = 0; i < table.count; ++i)
        entries.push_back({ table.deviceName[i], table.connectionName[i], table.ipv4Address[i] });
    return entries;
}

TEST(FindAdapterIndex, ExactCaseSensitiveFirstMatch)
{
    auto table = MakeTable({ { "d0", "Ethernet", "1.1.1.1" }, { "d1", "Wi-Fi", "2.2.2.2" },
                             { "d2", "Ethernet", "3.3.3.3" }, { "d3", "", "4.4.4.4" } });
    struct Case {
        const char* cardName;
        int index;
    } cases[] = {
        { "Ethernet", 0 }, { "Wi-Fi", 1 }, { "wi-fi", -1 }, { "ETHERNET", -1 }, { "Ethernet ", -1 },
        { "Ether", -1 }, { "", 3 }, { "Bluetooth", -1 },
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.index, FindAdapterIndex(table.get(), c.cardName)) << c.cardName;

    table->count = 3; // the entry with the empty name is a leftover now
    EXPECT_EQ(-1, FindAdapterIndex(table.get(), ""));
    table->count = 0;
    EXPECT_EQ(-1, FindAdapterIndex(table.get(), "Ethernet"));
}

TEST(CompactAdapterTable, KeepsEntriesWithAddressInOrder)
{
    struct Case {
        std::vector<Entry> before;
        std::vector<Entry> after;
    } cases[] = {
        { { { "a", "", "" }, { "b", "B", "2.2.2.2" }, { "c", "", "" } }, { { "b", "B", "2.2.2.2" } } },
        { { { "a", "A", "1.1.1.1" }, { "b", "", "" }, { "c", "C", "3.3.3.3" } },
          { { "a", "A", "1.1.1.1" }, { "c", "C", "3.3.3.3" } } },
        { { { "a", "", "" }, { "b", "", "" } }, {} },
        { {}, {} },
        { { { "a", "A", "1.1.1.1" }, { "b", "B", "2.2.2.2" } }, { { "a", "A", "1.1.1.1" }, { "b", "B", "2.2.2.2" } } },
        // A name without an address is dropped all the same.
        { { { "a", "A", "" }, { "b", "B", "2.2.2.2" } }, { { "b", "B", "2.2.2.2" } } },
    };
    for (const Case& c : cases) {
        auto table = MakeTable(c.before);
        CompactAdapterTable(table.get());
        EXPECT_EQ(c.after, EntriesOf(*table));
    }
}

TEST(CompactAdapterTable, CopiesLongestFieldsWhole)
{
    std::string device(499, 'd'), name(499, 'n'), address(499, 'a');
    auto table = MakeTable({ { "x", "", "" }, { device, name, address } });
    CompactAdapterTable(table.get());
    EXPECT_EQ((std::vector<Entry>{ { device, name, address } }), EntriesOf(*table));
}

TEST(FindAdapterByGuid, ComparesFromThe13thCharacter)
{
    auto table = MakeTable({ { "\\Device\\NPF_{AAAA}", "", "" }, { "\\Device\\NPF_{BBBB}", "", "" },
                             { "0123456789ab{BBBB}", "", "" }, { "short", "", "" },
                             { "\\Device\\NPF_", "", "" } });
    EXPECT_EQ(0, FindAdapterByGuid(table.get(), "{AAAA}"));
    EXPECT_EQ(1, FindAdapterByGuid(table.get(), "{BBBB}"));
    EXPECT_EQ(-1, FindAdapterByGuid(table.get(), "{bbbb}"));
    EXPECT_EQ(-1, FindAdapterByGuid(table.get(), "{BBBB"));
    EXPECT_EQ(-1, FindAdapterByGuid(table.get(), "NPF_{AAAA}"));
    // Short names end before the GUID part: the leftover bytes behind their
    // terminator never match.
    std::memcpy(table->deviceName[3] + 12, "{CCCC}", 7);
    EXPECT_EQ(-1, FindAdapterByGuid(table.get(), "{CCCC}"));
    table->count = 1;
    EXPECT_EQ(-1, FindAdapterByGuid(table.get(), "{BBBB}"));
}

// The IP Helper's adapter fills only the devices of its GUID that the report
// and the registry left without an address; filled rows keep every byte.
TEST(FillFromSystemAdapter, FillsOnlyUnaddressedDevicesOfItsGuid)
{
    const std::string g1 = "{00000001-0000-0000-0000-4E6574446576}";
    const std::string g2 = "{00000002-0000-0000-0000-4E6574446576}";
    auto table = MakeTable({ { "\\Device\\NPF_" + g1, "", "" },
                             { "\\Device\\NPF_" + g2, "Ethernet", "192.168.1.10" },
                             { "\\Device\\NPF_" + g1, "", "" },
                             { "\\Device\\NPF_{00000001-0000-0000-0000-4e6574446576}", "", "" },
                             { "short", "", "" } });
    struct Case {
        std::string guid, name, address;
        int filled;
    } cases[] = {
        { g2, "eth1", "10.0.0.2", 0 },   // already filled by the report
        { g1, "", "10.0.0.1", 0 },       // no name: nothing
        { g1, "eth0", "", 0 },           // no address: nothing
        { g1, std::string(500, 'n'), "10.0.0.1", 0 },
        { g1, "eth0", "10.0.0.1", 2 },
        { g1, "again", "10.0.0.3", 0 },  // now filled
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.filled, FillFromSystemAdapter(table.get(), c.guid.c_str(), c.name.c_str(), c.address.c_str()))
            << c.guid << " " << c.name;
    EXPECT_EQ((std::vector<Entry>{ { "\\Device\\NPF_" + g1, "eth0", "10.0.0.1" },
                                   { "\\Device\\NPF_" + g2, "Ethernet", "192.168.1.10" },
                                   { "\\Device\\NPF_" + g1, "eth0", "10.0.0.1" },
                                   { "\\Device\\NPF_{00000001-0000-0000-0000-4e6574446576}", "", "" },
                                   { "short", "", "" } }),
              EntriesOf(*table));
    // The longest name fits whole.
    auto longest = MakeTable({ { "\\Device\\NPF_" + g2, "", "" } });
    EXPECT_EQ(1, FillFromSystemAdapter(longest.get(), g2.c_str(), std::string(499, 'n').c_str(), "1.2.3.4"));
    EXPECT_EQ(std::string(499, 'n'), longest->connectionName[0]);
}

TEST(FormatIpv4Address, DottedDecimal)
{
    const unsigned char addresses[][4] = { { 192, 168, 0, 1 }, { 0, 0, 0, 0 }, { 255, 255, 255, 255 } };
    const char* texts[] = { "192.168.0.1", "0.0.0.0", "255.255.255.255" };
    for (int i = 0; i < 3; ++i) {
        char text[16];
        FormatIpv4Address(addresses[i], text);
        EXPECT_STREQ(texts[i], text);
    }
}

TEST(FindIpconfigRow, FirstCompleteRowWithTheName)
{
    auto table = std::make_unique<IpconfigTable>();
    std::memset(table.get(), 0, sizeof *table);
    const char* names[] = { "Ethernet", "Wi-Fi", "Ethernet", "Open" };
    for (int i = 0; i < 4; ++i)
        std::strcpy(table->connectionName[i], names[i]);
    table->count = 3;
    EXPECT_EQ(0, FindIpconfigRow(table.get(), "Ethernet"));
    EXPECT_EQ(1, FindIpconfigRow(table.get(), "Wi-Fi"));
    EXPECT_EQ(-1, FindIpconfigRow(table.get(), "ethernet"));
    EXPECT_EQ(-1, FindIpconfigRow(table.get(), "Open")); // the open row is not complete
}

TEST(TakeCaptureDevice, NameLimitsAndTableLimit)
{
    auto table = MakeTable({});
    EXPECT_EQ(DEVICE_TAKEN, TakeCaptureDevice(table.get(), std::string(499, 'g').c_str()));
    EXPECT_EQ(DEVICE_NAME_TOO_LONG, TakeCaptureDevice(table.get(), std::string(500, 'g').c_str()));
    EXPECT_EQ(DEVICE_TAKEN, TakeCaptureDevice(table.get(), "\\Device\\NPF_{1}"));
    EXPECT_EQ((std::vector<Entry>{ { std::string(499, 'g'), "", "" }, { "\\Device\\NPF_{1}", "", "" } }),
              EntriesOf(*table));
    for (int i = 2; i < ADAPTER_MAX; ++i)
        ASSERT_EQ(DEVICE_TAKEN, TakeCaptureDevice(table.get(), "dev"));
    EXPECT_EQ(DEVICE_TABLE_FULL, TakeCaptureDevice(table.get(), "dev"));
    EXPECT_EQ(ADAPTER_MAX, table->count);
}

TEST(ComposeListingFailure, ReasonFollowsTheSentenceWhenItFits)
{
    const std::string sentence = "The error occurred with the pcap_findalldevs function.";
    char message[1000];
    ComposeListingFailure(message, sizeof message, "No interfaces found!");
    EXPECT_EQ(sentence + "No interfaces found!", message);
    ComposeListingFailure(message, sizeof message, "");
    EXPECT_EQ(sentence, message);

    std::string fits(999 - sentence.size(), 'r');
    ComposeListingFailure(message, sizeof message, fits.c_str());
    EXPECT_EQ(sentence + fits, message);
    std::string tooLong(1000 - sentence.size(), 'r');
    ComposeListingFailure(message, sizeof message, tooLong.c_str());
    EXPECT_EQ(sentence, message);
}

} // namespace
