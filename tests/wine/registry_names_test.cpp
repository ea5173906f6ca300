// Connection names from the registry, seeded under HKEY_LOCAL_MACHINE by the
// test itself (control set 201, never one Wine uses) and removed afterwards.
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "adapters/adapter_build_win.h"
#include "core/app_state.h"
#include "support/adapter_doubles.h"
#include "support/import_patch.h"

namespace {

using Lines = std::vector<std::string>;

const std::string CONTROL_SET = "SYSTEM\\ControlSet201";
const std::string NETWORK = CONTROL_SET + "\\Control\\Network";
const std::string CLASS_A = NETWORK + "\\{4D36E972-E325-11CE-BFC1-08002BE10318}";
const std::string CLASS_B = NETWORK + "\\{4D36E973-E325-11CE-BFC1-08002BE10318}";
const std::string CLASS_C = NETWORK + "\\{4D36E974-E325-11CE-BFC1-08002BE10318}";
const char* const CARD_NOT_FOUND =
    "error: A network card was not found.\n"
    " (administrator authority or XP compatibility mode may be necessity at NetGlow.)";

struct Call {
    std::string controlSet;
    int result = 0;
    char text[8] = "";
};
void ReadControlSet(void* call) { Call* c = static_cast<Call*>(call); c->result = ReadCurrentControlSet(c->text); }
void ReadNames(void* call) { Call* c = static_cast<Call*>(call); c->result = ReadConnectionNames(c->controlSet.c_str()); }

class RegistryNames : public ControlSetTest {
protected:
    void Devices(const std::vector<std::string>& guids)
    {
        app.adapters.count = 0;
        for (const std::string& guid : guids) {
            int i = app.adapters.count++;
            lstrcpynA(app.adapters.deviceName[i], ("\\Device\\NPF_" + guid).c_str(), ADAPTER_TEXT_SIZE);
            app.adapters.connectionName[i][0] = app.adapters.ipv4Address[i][0] = '\0';
        }
    }
    void Report(const std::vector<std::pair<std::string, std::string>>& rows)
    {
        app.ipconfig.count = 0;
        for (const auto& row : rows) {
            int i = app.ipconfig.count++;
            lstrcpynA(app.ipconfig.connectionName[i], row.first.c_str(), ADAPTER_TEXT_SIZE);
            lstrcpynA(app.ipconfig.ipv4Address[i], row.second.c_str(), ADAPTER_TEXT_SIZE);
        }
    }
    Lines Names(Call* call, const std::string& controlSet = "201")
    {
        call->controlSet = controlSet;
        return Describe(RunRecording(ReadNames, call));
    }
};

TEST_F(RegistryNames, CurrentControlSetAsThreeDigits)
{
    struct Case {
        DWORD current;
        const char* text;
    } cases[] = { { 1, "001" }, { 2, "002" }, { 201, "201" }, { 256, "000" }, { 300, "044" } };
    for (const Case& c : cases) {
        ASSERT_TRUE(SeedDword("SYSTEM\\Select", "Current", c.current));
        Call call;
        EXPECT_EQ(Lines{}, Describe(RunRecording(ReadControlSet, &call)));
        EXPECT_EQ(0, call.result);
        EXPECT_STREQ(c.text, call.text) << c.current;
    }
}

TEST_F(RegistryNames, SelectKeyFailures)
{
    RemoveTree("SYSTEM\\Select");
    ASSERT_TRUE(SeedDword("SYSTEM\\Select", "Default", 1));
    Call call;
    EXPECT_EQ(Lines{ "question: Data was unacquirable from registry." },
              Describe(RunRecording(ReadControlSet, &call)));
    EXPECT_EQ(-1, call.result);

    RemoveTree("SYSTEM\\Select");
    EXPECT_EQ(Lines{ "question: Registry was not able to be opened." },
              Describe(RunRecording(ReadControlSet, &call)));
    EXPECT_EQ(-1, call.result);
}

TEST_F(RegistryNames, MatchesGuidsToReportRows)
{
    Devices({ "{AAAA}", "{BBBB}", "{CCCC}", "{DDDD}", "{EEEE}" });
    Report({ { "Ethernet", "10.0.0.1" }, { "Wi-Fi", "10.0.0.2" }, { "Ethernet", "10.0.0.3" } });
    ASSERT_TRUE(SeedConnection(CLASS_A, "{AAAA}", "Wi-Fi"));
    ASSERT_TRUE(SeedConnection(CLASS_A, "{BBBB}", "Not in the report"));
    ASSERT_TRUE(SeedConnection(CLASS_A, "{cccc}", "Ethernet"));      // letter case differs
    ASSERT_TRUE(SeedConnection(CLASS_A, "{DDDD}", "Ethernet"));      // the lower row wins
    ASSERT_TRUE(SeedKey(CLASS_A + "\\{EEEE}\\Connection"));           // no Name value
    ASSERT_TRUE(SeedConnection(CLASS_A, "{FFFF}", "Ethernet"));      // no such device
    Call call;
    EXPECT_EQ(Lines{}, Names(&call));
    EXPECT_EQ(0, call.result);
    EXPECT_EQ((std::vector<AdapterRow>{ { "{AAAA}", "Wi-Fi", "10.0.0.2" }, { "{BBBB}", "", "" }, { "{CCCC}", "", "" },
                                   { "{DDDD}", "Ethernet", "10.0.0.1" }, { "{EEEE}", "", "" } }),
              AdapterRows(12));
}

TEST_F(RegistryNames, LaterClassWins)
{
    Devices({ "{AAAA}", "{BBBB}" });
    Report({ { "Ethernet", "10.0.0.1" }, { "Wi-Fi", "10.0.0.2" } });
    ASSERT_TRUE(SeedConnection(CLASS_A, "{AAAA}", "Ethernet"));
    ASSERT_TRUE(SeedConnection(CLASS_B, "{AAAA}", "Wi-Fi"));
    ASSERT_TRUE(SeedConnection(CLASS_A, "{BBBB}", "Ethernet"));
    ASSERT_TRUE(SeedKey(CLASS_B + "\\{BBBB}")); // no Connection key: keeps the earlier match
    Call call;
    EXPECT_EQ(Lines{}, Names(&call));
    EXPECT_EQ(0, call.result);
    EXPECT_EQ((std::vector<AdapterRow>{ { "{AAAA}", "Wi-Fi", "10.0.0.2" }, { "{BBBB}", "Ethernet", "10.0.0.1" } }),
              AdapterRows(12));
}

TEST_F(RegistryNames, MissingNetworkKey)
{
    Devices({ "{AAAA}" });
    ASSERT_TRUE(SeedKey(CONTROL_SET + "\\Control"));
    Call call;
    EXPECT_EQ(Lines{ "question: Registry was not able to be opened." }, Names(&call));
    EXPECT_EQ(-1, call.result);
}

TEST_F(RegistryNames, AtMost100ClassKeys)
{
    Devices({ "{AAAA}" });
    Report({ { "Ethernet", "10.0.0.1" } });
    for (int i = 0; i < 100; ++i)
        ASSERT_TRUE(SeedKey(NETWORK + "\\class" + std::to_string(1000 + i)));
    ASSERT_TRUE(SeedConnection(NETWORK + "\\class1099", "{AAAA}", "Ethernet"));
    Call call;
    EXPECT_EQ(Lines{}, Names(&call));
    EXPECT_EQ(0, call.result);
    EXPECT_EQ((std::vector<AdapterRow>{ { "{AAAA}", "Ethernet", "10.0.0.1" } }), AdapterRows(12));

    Devices({ "{AAAA}" });
    ASSERT_TRUE(SeedKey(NETWORK + "\\class1100"));
    EXPECT_EQ(Lines{ "question: There are too many network cards." }, Names(&call));
    EXPECT_EQ(-9, call.result);
    EXPECT_EQ((std::vector<AdapterRow>{ { "{AAAA}", "", "" } }), AdapterRows(12));
}

// A class subkey that the ANSI calls list but cannot open: its name has a
// character outside the ANSI code page.
TEST_F(RegistryNames, UnreadableClassKeyWarnsOncePerRun)
{
    const wchar_t unreadable[] = L"SYSTEM\\ControlSet201\\Control\\Network\\{B}\x0E01";
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, unreadable, 0, nullptr, 0, KEY_ALL_ACCESS,
                                             nullptr, &key, nullptr));
    RegCloseKey(key);
    Devices({ "{AAAA}", "{CCCC}" });
    Report({ { "Ethernet", "10.0.0.1" }, { "Wi-Fi", "10.0.0.2" } });
    ASSERT_TRUE(SeedConnection(NETWORK + "\\{A}", "{AAAA}", "Ethernet"));
    ASSERT_TRUE(SeedConnection(NETWORK + "\\{C}", "{CCCC}", "Wi-Fi")); // after the unreadable class

    Call call;
    EXPECT_EQ(Lines{ CARD_NOT_FOUND }, Names(&call));
    EXPECT_EQ(-1, call.result);
    EXPECT_EQ(1, app.registryWarned.load());
    EXPECT_EQ((std::vector<AdapterRow>{ { "{AAAA}", "Ethernet", "10.0.0.1" }, { "{CCCC}", "", "" } }), AdapterRows(12));

    EXPECT_EQ(Lines{}, Names(&call));
    EXPECT_EQ(-1, call.result);
}

// Registry key names have at most 255 characters, so the class and connection
// key paths stay far below their 998-character bound here (the bound itself is
// tested natively); a control-set text can still make the network key path
// too long, and then nothing is opened.
TEST_F(RegistryNames, NetworkKeyPathTooLong)
{
    Devices({ "{AAAA}" });
    Call call;
    std::string text = "201" + std::string(966 - 3, '1'); // 999 characters with the fixed parts
    EXPECT_EQ(Lines{ "question: Data was unacquirable from registry." }, Names(&call, text));
    EXPECT_EQ(-9, call.result);
}

// The registry as the enumeration may meet it: index 1 holds a name too long
// for the buffer, index 3 on a status that repeats (a key deleted meanwhile,
// a refused enumeration). Subkeys are listed in name order.
using EnumKeyCall = LONG(WINAPI*)(HKEY, DWORD, LPSTR, DWORD);
EnumKeyCall realEnumKey;
LONG repeatedStatus;
LONG WINAPI EnumKeyMeetingStatuses(HKEY key, DWORD index, LPSTR name, DWORD size)
{
    if (index == 1)
        return ERROR_MORE_DATA;
    if (index >= 3)
        return repeatedStatus;
    return realEnumKey(key, index, name, size);
}

TEST_F(RegistryNames, EnumerationSkipsOnlyTooLongNamesAndStopsAtOtherStatuses)
{
    for (LONG status : { ERROR_KEY_DELETED, ERROR_ACCESS_DENIED }) {
        SCOPED_TRACE(status);
        RemoveTree(CONTROL_SET);
        Devices({ "{AAAA}", "{BBBB}", "{CCCC}", "{DDDD}", "{EEEE}" });
        Report({ { "Ethernet", "10.0.0.1" } });
        for (const char* guid : { "{AAAA}", "{BBBB}", "{CCCC}", "{DDDD}" })
            ASSERT_TRUE(SeedConnection(CLASS_A, guid, "Ethernet"));
        ASSERT_TRUE(SeedConnection(CLASS_B, "{DDDD}", "Ethernet")); // the network key's index 1
        ASSERT_TRUE(SeedConnection(CLASS_C, "{EEEE}", "Ethernet"));
        repeatedStatus = status;
        realEnumKey = reinterpret_cast<EnumKeyCall>(
            PatchImport("RegEnumKeyA", reinterpret_cast<void*>(EnumKeyMeetingStatuses)));
        ASSERT_NE(nullptr, realEnumKey);
        static Call call; // outlives a call that never returns
        call.controlSet = "201";
        Lines events = Describe(RunRecording(ReadNames, &call, 10000));
        PatchImport("RegEnumKeyA", reinterpret_cast<void*>(realEnumKey));
        ASSERT_EQ(Lines{}, events);
        EXPECT_EQ(0, call.result);
        EXPECT_EQ((std::vector<AdapterRow>{ { "{AAAA}", "Ethernet", "10.0.0.1" }, { "{BBBB}", "", "" },
                                       { "{CCCC}", "Ethernet", "10.0.0.1" }, { "{DDDD}", "", "" },
                                       { "{EEEE}", "Ethernet", "10.0.0.1" } }),
                  AdapterRows(12));
    }
}

} // namespace
