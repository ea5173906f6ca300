// The "ipconfig /all" report parser over reports as Windows writes them.
#include <gtest/gtest.h>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>
#include "adapters/ipconfig_parser.h"

namespace {

using Rows = std::vector<std::pair<std::string, std::string>>;

// Code page 932 texts of the Japanese reports.
const std::string LOCAL_AREA = "\x83\x8D\x81\x5B\x83\x4A\x83\x8B\x20\x83\x47\x83\x8A\x83\x41\x90\xDA\x91\xB1";
const std::string WIRELESS =
    "\x83\x8F\x83\x43\x83\x84\x83\x8C\x83\x58\x20\x83\x6C\x83\x62\x83\x67\x83\x8F\x81\x5B\x83\x4E\x90\xDA\x91\xB1";

std::unique_ptr<IpconfigTable> StaleTable()
{
    auto table = std::make_unique<IpconfigTable>();
    std::memset(table.get(), 0, sizeof *table);
    for (int i = 0; i < ADAPTER_MAX; ++i) {
        std::snprintf(table->connectionName[i], ADAPTER_TEXT_SIZE, "stale name %d", i);
        std::snprintf(table->ipv4Address[i], ADAPTER_TEXT_SIZE, "stale address %d", i);
    }
    table->count = 7;
    return table;
}

int ParseFixture(const char* name, IpconfigTable* table)
{
    std::string path = std::string(NETGLOW_FIXTURES) + "/ipconfig/" + name;
    std::FILE* report = std::fopen(path.c_str(), "rb");
    if (report == nullptr) {
        ADD_FAILURE() << "missing fixture " << path;
        return -100;
    }
    int result = ParseIpconfigReport(table, report);
    std::fclose(report);
    return result;
}

Rows RowsOf(const IpconfigTable& table)
{
    Rows rows;
    for (int i = 0; i < table.count; ++i)
        rows.emplace_back(table.connectionName[i], table.ipv4Address[i]);
    return rows;
}

struct FixtureCase {
    const char* file;
    int result;
    Rows rows;
    std::string openRowName; // name of row count afterwards, when there is one
};

class Fixtures : public ::testing::TestWithParam<FixtureCase> {};

TEST_P(Fixtures, GiveTheirTable)
{
    const FixtureCase& c = GetParam();
    auto table = StaleTable();
    EXPECT_EQ(c.result, ParseFixture(c.file, table.get()));
    EXPECT_EQ(c.rows, RowsOf(*table));
    if (table->count < ADAPTER_MAX) {
        EXPECT_EQ(c.openRowName, table->connectionName[table->count]);
    }
}

Rows Numbered(int count)
{
    Rows rows;
    char name[64], address[64];
    for (int i = 0; i < count; ++i) {
        std::snprintf(name, sizeof name, "Ethernet %d", i + 1);
        std::snprintf(address, sizeof address, "10.0.%d.%d", i / 250, i % 250 + 1);
        rows.emplace_back(name, address);
    }
    return rows;
}

std::vector<FixtureCase> FixtureCases()
{
    return {
        { "empty.txt", IPCONFIG_OK, {}, "stale name 0" },
        { "xp_english.txt", IPCONFIG_OK,
          { { "Local Area Connection", "192.168.1.10" }, { "Wireless Network Connection", "10.0.0.23" } },
          "stale name 2" },
        // The IPv6 line completes a row of its own that keeps its old name.
        { "xp_english_ipv6.txt", IPCONFIG_OK,
          { { "Local Area Connection", "192.168.1.10" }, { "stale name 1", "fe80::20c:29ff:fe3a:5b7c%4" },
            { "Teredo Tunneling Pseudo-Interface", "fe80::ffff:ffff:fffd%5" } },
          "stale name 3" },
        { "win7_english.txt", IPCONFIG_OK,
          { { "Wireless Network Connection", "192.168.0.105" }, { "VirtualBox Host-Only Network", "192.168.56.1" } },
          "Teredo Tunneling Pseudo-Interface" },
        { "win10_english.txt", IPCONFIG_OK,
          { { "Ethernet", "192.168.178.24" }, { "vEthernet (Default Switch)", "172.21.240.1" } },
          "Bluetooth Network Connection" },
        { "win11_english.txt", IPCONFIG_OK,
          { { "Wi-Fi", "10.20.30.44" }, { "Ethernet 2", "10.20.31.9" } },
          "Teredo Tunneling Pseudo-Interface" },
        { "japanese_xp.txt", IPCONFIG_OK,
          { { LOCAL_AREA, "192.168.11.3" }, { WIRELESS, "192.168.11.4" } }, "stale name 2" },
        { "japanese_win7.txt", IPCONFIG_OK,
          { { LOCAL_AREA, "192.168.1.10" }, { "VirtualBox Host-Only Network", "192.168.56.1" },
            { WIRELESS, "10.0.1.7" } },
          "isatap.{8C2A7D1E-3B4F-4A5C-9D6E-7F8091A2B3C4}" },
        { "name_499.txt", IPCONFIG_OK, { { std::string(499, 'N'), "10.0.0.1" } }, "stale name 1" },
        { "name_500.txt", IPCONFIG_NAME_TOO_LONG, { { "Before", "10.0.0.1" } }, "stale name 1" },
        { "address_499.txt", IPCONFIG_OK, { { "Ethernet", std::string(499, '7') } }, "stale name 1" },
        { "address_500.txt", IPCONFIG_ADDRESS_TOO_LONG, {}, "Ethernet" },
        { "addresses_100.txt", IPCONFIG_OK, Numbered(100), "" },
        { "addresses_101.txt", IPCONFIG_TOO_MANY, Numbered(100), "" },
        { "short_values.txt", IPCONFIG_OK, { { "Kept name", "10.9.9.9" }, { "Second", "10.6.6.6" } }, "Last" },
        { "long_lines.txt", IPCONFIG_OK, { { "Piece", "10.2.2.2" } }, "stale name 1" },
        // Other languages and adapter kinds; names stay in the report's code
        // page (850: \x81 is u-umlaut, \x82 e-acute, \xA4 n-tilde; 936).
        // The automatic-address lines of German are not address lines.
        { "german_win10.txt", IPCONFIG_OK,
          { { "Ethernet", "192.168.178.31" }, { "WLAN B\x81ro", "192.168.178.32" },
            { "VirtualBox Host-Only Network", "192.168.56.1" }, { "Firmen-VPN", "10.8.0.6" } },
          "Teredo Tunneling Pseudo-Interface" },
        { "german_xp.txt", IPCONFIG_OK, { { "LAN-Verbindung", "192.168.0.5" } }, "stale name 1" },
        // French puts a space before the heading's colon: it is not part of the name.
        { "french_win10.txt", IPCONFIG_OK,
          { { "Ethernet", "192.168.1.20" }, { "Connexion r\x82seau sans fil", "192.168.1.21" } },
          "isatap.home" },
        { "spanish_win10.txt", IPCONFIG_OK,
          { { "Ethernet", "192.168.0.12" }, { "Wi-Fi Oficina Peque\xA4" "a", "192.168.0.13" },
            { "VPN Sucursal", "10.10.0.4" } },
          "Teredo Tunneling Pseudo-Interface" },
        { "portuguese_win10.txt", IPCONFIG_OK,
          { { "Ethernet", "192.168.15.20" }, { "Wi-Fi Escrit\xA2rio", "192.168.15.21" } },
          "Teredo Tunneling Pseudo-Interface" },
        { "italian_win10.txt", IPCONFIG_OK,
          { { "Ethernet", "192.168.1.30" }, { "Wi-Fi Citt\x85", "192.168.1.31" } },
          "Connessione di rete Bluetooth" },
        { "chinese_win10.txt", IPCONFIG_OK,
          { { "\xD2\xD4\xCC\xAB\xCD\xF8", "192.168.1.5" }, { "\xB1\xBE\xB5\xD8\xC1\xAC\xBD\xD3 2", "10.0.0.8" },
            { "\xCA\xD6\xBB\xFA\xCD\xF8\xC2\xE7", "100.64.3.2" } },
          "isatap.{8C2A7D1E-3B4F-4A5C-9D6E-7F8091A2B3C4}" },
        { "english_ppp_mobile.txt", IPCONFIG_OK,
          { { "Office VPN", "10.8.0.6" }, { "Cellular", "100.64.12.9" }, { "Local Area Connection", "10.200.0.2" } },
          "stale name 3" },
        { "renamed_accented.txt", IPCONFIG_OK, { { "Caf\x82 Wi-Fi \x81" "ber Br\x81" "cke", "192.168.5.20" } },
          "stale name 1" },
    };
}

std::string FixtureName(const ::testing::TestParamInfo<FixtureCase>& info)
{
    std::string name = info.param.file;
    return name.substr(0, name.find('.'));
}

INSTANTIATE_TEST_SUITE_P(Reports, Fixtures, ::testing::ValuesIn(FixtureCases()), FixtureName);

// Parses lines one at a time, as the report reader hands them over.
int Feed(IpconfigTable* table, const std::vector<std::string>& lines)
{
    for (const std::string& text : lines) {
        std::vector<char> line(text.begin(), text.end());
        line.push_back('\0');
        int result = ParseIpconfigLine(table, line.data());
        if (result != IPCONFIG_OK)
            return result;
    }
    return IPCONFIG_OK;
}

TEST(IpconfigLines, EnglishWorkedExample)
{
    auto table = StaleTable();
    table->count = 0;
    std::string heading = "Ethernet adapter Local Area Connection:\n";
    ASSERT_EQ(':', heading[38]);
    std::string address = "   IPv4 Address. . . . . . . . . . . : 192.168.1.10(Preferred)\n";
    ASSERT_EQ(": ", address.substr(37, 2));
    ASSERT_EQ('(', address[51]);

    ASSERT_EQ(IPCONFIG_OK, Feed(table.get(), { heading }));
    EXPECT_EQ(0, table->count);
    EXPECT_STREQ("Local Area Connection", table->connectionName[0]);
    ASSERT_EQ(IPCONFIG_OK, Feed(table.get(), { address, "Wireless LAN adapter Wi-Fi:\n" }));
    EXPECT_EQ((Rows{ { "Local Area Connection", "192.168.1.10" } }), RowsOf(*table));
    EXPECT_STREQ("Wi-Fi", table->connectionName[1]);
}

TEST(IpconfigLines, JapaneseWorkedExampleWithBothHeadingForms)
{
    const std::string shortForm =
        "\x83\x43\x81\x5B\x83\x54\x83\x6C\x83\x62\x83\x67\x20\x83\x41\x83\x5F\x83\x76\x83\x5E";
    const std::string longForm = shortForm + "\x81\x5B";
    const std::string address = std::string("   IPv4 \x83\x41\x83\x68\x83\x8C\x83\x58")
        + " . . . . . . . . . . . .: 192.168.1.10(\x97\x44\x90\xE6)\n";
    ASSERT_EQ(19u, LOCAL_AREA.size());

    for (const std::string& form : { longForm, shortForm }) {
        auto table = StaleTable();
        table->count = 0;
        std::string heading = form + " " + LOCAL_AREA + ":\n";
        ASSERT_EQ(IPCONFIG_OK, Feed(table.get(), { heading, address }));
        EXPECT_EQ((Rows{ { LOCAL_AREA, "192.168.1.10" } }), RowsOf(*table)) << form.size();
    }
}

TEST(IpconfigLines, NameLimits)
{
    struct Case {
        std::string line;
        int result;
        std::string name; // of the open row afterwards
    } cases[] = {
        { "Ethernet adapter Ab:\n", IPCONFIG_OK, "Ab" },
        { "Ethernet adapter A:\n", IPCONFIG_OK, "before" },  // one byte: not taken
        { "Ethernet adapter :\n", IPCONFIG_OK, "before" },
        { "Ethernet adapter No colon\n", IPCONFIG_OK, "before" },
        { "Ethernet adapter" + std::string(":x\n"), IPCONFIG_OK, "before" },
        { "Tunnel adapter " + std::string(499, 'n') + ":\n", IPCONFIG_OK, std::string(499, 'n') },
        { "Tunnel adapter " + std::string(500, 'n') + ":\n", IPCONFIG_NAME_TOO_LONG, "before" },
        { "Wireless LAN adapter Wi-Fi: more: text\n", IPCONFIG_OK, "Wi-Fi" },
        { " Ethernet adapter Indented:\n", IPCONFIG_OK, "before" },
        { "ethernet adapter Lower:\n", IPCONFIG_OK, "before" },
    };
    for (const Case& c : cases) {
        auto table = StaleTable();
        table->count = 3;
        std::strcpy(table->connectionName[3], "before");
        EXPECT_EQ(c.result, Feed(table.get(), { c.line })) << c.line;
        EXPECT_EQ(c.name, table->connectionName[3]) << c.line;
        EXPECT_EQ(3, table->count);
    }
}

TEST(IpconfigLines, AddressLines)
{
    struct Case {
        std::string line;
        int result;
        std::string address; // "" when no row is completed
    } cases[] = {
        { "\tIP Address: 1.2.3.4\n", IPCONFIG_OK, "1.2.3.4" },
        { "   IP Address. . . : 1.2.3.4\r\n", IPCONFIG_OK, "1.2.3.4" },
        { "        IP Address. . . : 1.2.3.4\n", IPCONFIG_OK, "1.2.3.4" },
        { "   IPv4 Address. . . : 1.2.3.4(Preferred) \n", IPCONFIG_OK, "1.2.3.4" },
        { "   IPv4 Address. . . : 12\n", IPCONFIG_OK, "12" },
        { "   IPv4 Address. . . : 1\n", IPCONFIG_OK, "" },              // one character
        { "   IPv4 Address. . . :\n", IPCONFIG_OK, "" },
        { "   IPv4 Address. . . 1.2.3.4\n", IPCONFIG_OK, "" },           // no ": "
        { "   IPv4 Address. . . : 1.2.3.4", IPCONFIG_OK, "" },           // no line end
        { "   IPv4 Address", IPCONFIG_OK, "" },
        { "   IPv4 Address: a: 5.6.7.8\n", IPCONFIG_OK, "5.6.7.8" },     // the last ": " counts
        { "   IPv4 Address. . . : 1.2.3.4\r(x): 9.9.9.9\n", IPCONFIG_OK, "1.2.3.4" },
        { "  IPv4 Address. . . : 1.2.3.4\n", IPCONFIG_OK, "" },
        { "   Autoconfiguration IPv4 Address. : 169.254.1.1(Preferred)\n", IPCONFIG_OK, "" },
        { "   IPv4 Address. . . : " + std::string(499, '9') + "\n", IPCONFIG_OK, std::string(499, '9') },
        { "   IPv4 Address. . . : " + std::string(500, '9') + "\n", IPCONFIG_ADDRESS_TOO_LONG, "" },
    };
    for (const Case& c : cases) {
        auto table = StaleTable();
        table->count = 2;
        EXPECT_EQ(c.result, Feed(table.get(), { c.line })) << c.line;
        if (c.address.empty()) {
            EXPECT_EQ(2, table->count) << c.line;
            EXPECT_STREQ("stale address 2", table->ipv4Address[2]) << c.line;
        } else {
            EXPECT_EQ(3, table->count) << c.line;
            EXPECT_EQ(c.address, table->ipv4Address[2]) << c.line;
            EXPECT_STREQ("stale name 2", table->connectionName[2]) << c.line;
        }
    }
}

// Labels of the later languages take dots and spaces only before their ": ";
// English and Japanese labels keep taking any text there.
TEST(IpconfigLines, LaterLanguageLabelsAreWholeLabels)
{
    struct Case {
        std::string line;
        std::string address; // "" when no row is completed
    } cases[] = {
        { "   IPv4-Adresse  . . . . : 10.1.1.1(Bevorzugt) \r\n", "10.1.1.1" },
        { "   IPv4-Adresse: 10.1.1.2\n", "10.1.1.2" },
        { "   IPv4-Adresse (automatisch). : 10.1.1.3\n", "" },
        { "   IPv4-Adressen . . . : 10.1.1.4\n", "" },
        { "        Adresse IPv6. . . . . : fe80::1\n", "" },
        { "        Adresse IP. . . . . . : 10.1.1.5\n", "10.1.1.5" },
        { "   Adresse IPv4. . . . . . . .: 10.1.1.6(pr\x82" "f\x82r\x82)\n", "10.1.1.6" },
        { "   Direcci\xA2n IPv4 de configuraci\xA2n autom\xA0tica: 169.254.1.1\n", "" },
        { "   IPv4 \xB5\xD8\xD6\xB7 . . . . : 10.1.1.7(\xCA\xD7\xD1\xA1) \r\n", "10.1.1.7" },
        { "   IPv4 Address of any text: 10.1.1.8\n", "10.1.1.8" },
        { "   Endere\x87o IPv4. . . . . . . .  : 10.1.1.9(Preferencial) \r\n", "10.1.1.9" },
        { "   Endere\x87o IPv6 de link local . : fe80::1\n", "" },
        { "   Indirizzo IPv4. . . . . . . . : 10.1.1.10(Preferenziale) \r\n", "10.1.1.10" },
        { "   Indirizzo IPv4 autoconfigurazione . : 169.254.1.2\n", "" },
    };
    for (const Case& c : cases) {
        auto table = StaleTable();
        table->count = 2;
        EXPECT_EQ(IPCONFIG_OK, Feed(table.get(), { c.line })) << c.line;
        EXPECT_EQ(c.address.empty() ? 2 : 3, table->count) << c.line;
        if (!c.address.empty()) {
            EXPECT_EQ(c.address, table->ipv4Address[2]) << c.line;
        }
    }
}

TEST(IpconfigLines, LaterLanguageHeadingsDropTheSpacesBeforeTheColon)
{
    struct Case {
        std::string line;
        std::string name; // of the open row afterwards
    } cases[] = {
        { "Carte Ethernet Ethernet :\r\n", "Ethernet" },
        { "Carte Ethernet Ethernet   :\r\n", "Ethernet" },
        { "Carte PPP X :\r\n", "before" },     // one byte left: not taken
        { "Carte PPP  :\r\n", "before" },
        { "PPP adapter Dial-up:\r\n", "Dial-up" },
        { "Ethernet adapter Spaced :\r\n", "Spaced " }, // English keeps its bytes
        { "Adaptador Ethernet Ethernet 2 :\r\n", "Ethernet 2" },
        { "Adaptador de Rede sem Fio Wi-Fi :\r\n", "Wi-Fi" },
        { "Scheda Ethernet Ethernet 3 :\r\n", "Ethernet 3" },
        { "Scheda LAN wireless Wi-Fi 2 :\r\n", "Wi-Fi 2" },
    };
    for (const Case& c : cases) {
        auto table = StaleTable();
        table->count = 3;
        std::strcpy(table->connectionName[3], "before");
        EXPECT_EQ(IPCONFIG_OK, Feed(table.get(), { c.line })) << c.line;
        EXPECT_EQ(c.name, table->connectionName[3]) << c.line;
    }
}

TEST(IpconfigLines, HeadingAndAddressOnOneLine)
{
    // The heading's colon ends the line for the address pass as well.
    auto table = StaleTable();
    table->count = 0;
    EXPECT_EQ(IPCONFIG_OK, Feed(table.get(), { "Ethernet adapter Ab: : 1.2.3.4\n" }));
    EXPECT_EQ(0, table->count);
    EXPECT_STREQ("Ab", table->connectionName[0]);
}

TEST(IpconfigLines, FullTable)
{
    auto table = StaleTable();
    table->count = 99;
    EXPECT_EQ(IPCONFIG_OK, Feed(table.get(), { "Ethernet adapter Hundredth:\n", "   IPv4 Address. : 10.0.0.100\n" }));
    ASSERT_EQ(100, table->count);
    EXPECT_STREQ("Hundredth", table->connectionName[99]);
    // With 100 rows a heading stores nothing, a too long name still fails,
    // and an address fails.
    EXPECT_EQ(IPCONFIG_OK, Feed(table.get(), { "Ethernet adapter More:\n" }));
    EXPECT_EQ(IPCONFIG_NAME_TOO_LONG, Feed(table.get(), { "Ethernet adapter " + std::string(500, 'n') + ":\n" }));
    EXPECT_EQ(IPCONFIG_TOO_MANY, Feed(table.get(), { "   IPv4 Address. : 10.0.0.101\n" }));
    EXPECT_EQ(100, table->count);
    EXPECT_STREQ("Hundredth", table->connectionName[99]);
}

TEST(IpconfigLines, FailureTexts)
{
    EXPECT_STREQ("A connection name is too long.", IpconfigFailureText(IPCONFIG_NAME_TOO_LONG));
    EXPECT_STREQ("An IP address is too long.", IpconfigFailureText(IPCONFIG_ADDRESS_TOO_LONG));
    EXPECT_STREQ("There are too many network cards.", IpconfigFailureText(IPCONFIG_TOO_MANY));
}

} // namespace
