// The "ipconfig /all" scan through its batch file, with the fake ipconfig in
// place of the system folder's: the table it yields, its messages, and the
// two temporary files, which never outlive a scan.
#include <gtest/gtest.h>
#include <windows.h>
#include <tlhelp32.h>
#include <algorithm>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>
#include "adapters/adapter_build_win.h"
#include "core/app_state.h"
#include "support/adapter_doubles.h"

namespace {

using Lines = std::vector<std::string>;
using Rows = std::vector<std::pair<std::string, std::string>>;

struct Outcome {
    int result = 0;
};
void Scan(void* outcome) { static_cast<Outcome*>(outcome)->result = RunAddressScan(); }

// The scan's own files: named with the process id, so that two processes
// (or an older copy with its fixed names) never meet.
std::string OwnFile(const char* what)
{
    char name[64];
    std::snprintf(name, sizeof name, what, static_cast<unsigned long>(GetCurrentProcessId()));
    return TempPath() + name;
}
std::string OwnBatch() { return OwnFile("NetGlaw%lurun.bat"); }
std::string OwnReport() { return OwnFile("NetGlaw%lutxt"); }

// The command interpreters this process started and every ipconfig.exe, by
// process id.
std::vector<std::pair<DWORD, std::string>> ScanProcesses()
{
    std::vector<std::pair<DWORD, std::string>> found;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32 entry;
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
        bool interpreter = entry.th32ParentProcessID == GetCurrentProcessId()
            && lstrcmpiA(entry.szExeFile, "cmd.exe") == 0;
        if (interpreter || lstrcmpiA(entry.szExeFile, "ipconfig.exe") == 0)
            found.emplace_back(entry.th32ProcessID, entry.szExeFile);
    }
    CloseHandle(snapshot);
    return found;
}

// Those not among `before` that still run after up to timeoutMs: their names.
std::vector<std::string> ScanProcessesStillRunning(const std::vector<std::pair<DWORD, std::string>>& before,
                                                   DWORD timeoutMs)
{
    std::vector<std::string> running;
    DWORD start = GetTickCount();
    for (const auto& found : ScanProcesses()) {
        if (std::find(before.begin(), before.end(), found) != before.end())
            continue;
        HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, found.first);
        if (process == nullptr)
            continue; // ended meanwhile
        DWORD spent = GetTickCount() - start;
        if (WaitForSingleObject(process, spent < timeoutMs ? timeoutMs - spent : 0) == WAIT_TIMEOUT)
            running.push_back(found.second);
        CloseHandle(process);
    }
    return running;
}

Rows IpconfigRows()
{
    Rows rows;
    for (int i = 0; i < app.ipconfig.count; ++i)
        rows.emplace_back(app.ipconfig.connectionName[i], app.ipconfig.ipv4Address[i]);
    return rows;
}

class AddressScan : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetAppState();
        app.mainWindow = CreateRecordingWindow();
        app.ipconfig.count = 5;
        SetEnvironmentVariableA("NETGLOW_FAKE_IPCONFIG_DELAY_MS", nullptr);
    }
    void TearDown() override
    {
        SetFakeIpconfigReport("");
        SetEnvironmentVariableA("NETGLOW_FAKE_IPCONFIG_DELAY_MS", nullptr);
        DestroyWindow(app.mainWindow);
    }
    Lines Scanned(Outcome* outcome) { return Describe(RunRecording(Scan, outcome)); }
    // A scan of report (a path, or "" for none) that shows no message and succeeds.
    void ScanQuietly(const std::string& report)
    {
        SetFakeIpconfigReport(report);
        Outcome outcome;
        EXPECT_EQ(Lines{}, Scanned(&outcome));
        EXPECT_EQ(0, outcome.result);
    }
    void ExpectNoTemporaryFiles()
    {
        EXPECT_FALSE(PathExists(OwnBatch())) << OwnBatch();
        EXPECT_FALSE(PathExists(OwnReport())) << OwnReport();
    }
};

TEST_F(AddressScan, ReadsTheReportOfTheCommand)
{
    ScanQuietly(FixturePath("ipconfig/win10_english.txt"));
    EXPECT_EQ((Rows{ { "Ethernet", "192.168.178.24" }, { "vEthernet (Default Switch)", "172.21.240.1" } }),
              IpconfigRows());
    ExpectNoTemporaryFiles();
}

// A Japanese system has one code page (932) for the report and the registry:
// the names are taken without any conversion.
TEST_F(AddressScan, JapaneseBytesPassUnchanged)
{
    if (GetACP() != 932 || GetOEMCP() != 932)
        GTEST_SKIP() << "needs a Japanese system (code pages " << GetACP() << "/" << GetOEMCP()
                     << "): run as wine.ipconfig_scan_japanese";
    ScanQuietly(FixturePath("ipconfig/japanese_win7.txt"));
    const std::string localArea = "\x83\x8D\x81\x5B\x83\x4A\x83\x8B\x20\x83\x47\x83\x8A\x83\x41\x90\xDA\x91\xB1";
    const std::string wireless = "\x83\x8F\x83\x43\x83\x84\x83\x8C\x83\x58\x20\x83\x6C\x83\x62\x83\x67\x83\x8F"
                                 "\x81\x5B\x83\x4E\x90\xDA\x91\xB1";
    EXPECT_EQ((Rows{ { localArea, "192.168.1.10" }, { "VirtualBox Host-Only Network", "192.168.56.1" },
                     { wireless, "10.0.1.7" } }),
              IpconfigRows());
}

TEST_F(AddressScan, WaitsForASlowCommand)
{
    SetFakeIpconfigReport(FixturePath("ipconfig/xp_english.txt"));
    SetEnvironmentVariableA("NETGLOW_FAKE_IPCONFIG_DELAY_MS", "1500");
    Outcome outcome;
    DWORD start = GetTickCount();
    EXPECT_EQ(Lines{}, Scanned(&outcome));
    EXPECT_GE(GetTickCount() - start, 1500u);
    EXPECT_EQ(0, outcome.result);
    EXPECT_EQ((Rows{ { "Local Area Connection", "192.168.1.10" }, { "Wireless Network Connection", "10.0.0.23" } }),
              IpconfigRows());
    ExpectNoTemporaryFiles();
}

// An ipconfig that never returns: after 10 s the scan ends the command
// interpreter and ipconfig with it and yields an empty table (the IP Helper
// fills the adapters in).
TEST_F(AddressScan, CommandThatNeverReturnsIsEndedWithItsInterpreter)
{
    SetFakeIpconfigReport(FixturePath("ipconfig/xp_english.txt"));
    SetEnvironmentVariableA("NETGLOW_FAKE_IPCONFIG_DELAY_MS", "120000");
    auto before = ScanProcesses();
    Outcome outcome;
    DWORD start = GetTickCount();
    EXPECT_EQ(Lines{}, Describe(RunRecording(Scan, &outcome, 30000)));
    DWORD took = GetTickCount() - start;
    EXPECT_GE(took, 9900u);
    EXPECT_LT(took, 20000u);
    EXPECT_EQ(0, outcome.result);
    EXPECT_EQ(0, app.ipconfig.count);
    EXPECT_EQ(std::vector<std::string>{}, ScanProcessesStillRunning(before, 5000));
    ExpectNoTemporaryFiles();
}

TEST_F(AddressScan, NoReportGivesAnEmptyTable)
{
    ScanQuietly("");
    EXPECT_EQ(0, app.ipconfig.count);
    ExpectNoTemporaryFiles();
}

TEST_F(AddressScan, FailuresShowTheirMessageAfterRemovingTheFiles)
{
    struct Case {
        const char* fixture;
        const char* message;
        int count;
        Rows firstRows;
    } cases[] = {
        { "ipconfig/name_500.txt", "question: A connection name is too long.", 1, { { "Before", "10.0.0.1" } } },
        { "ipconfig/address_500.txt", "question: An IP address is too long.", 0, {} },
        { "ipconfig/addresses_101.txt", "question: There are too many network cards.", 100,
          { { "Ethernet 1", "10.0.0.1" } } },
    };
    for (const Case& c : cases) {
        SetFakeIpconfigReport(FixturePath(c.fixture));
        Outcome outcome;
        EXPECT_EQ(Lines{ c.message }, Scanned(&outcome)) << c.fixture;
        EXPECT_EQ(-9, outcome.result) << c.fixture;
        EXPECT_EQ(c.count, app.ipconfig.count) << c.fixture;
        Rows rows = IpconfigRows();
        rows.resize(c.firstRows.size());
        EXPECT_EQ(c.firstRows, rows) << c.fixture;
        ExpectNoTemporaryFiles();
    }
}

// The batch line and the command line quote their paths, and the batch file
// is written in the console's code page, in which the command interpreter
// reads it (u-umlaut: 0xFC in 1252, 0x81 in 850 and 437).
TEST_F(AddressScan, TemporaryDirectoryWithSpacesAndAccents)
{
    std::string spaced = MakeTempFolder("temp dir with spaces \xFC");
    struct RestoreTemp {
        char tmp[MAX_PATH] = "", temp[MAX_PATH] = "";
        RestoreTemp()
        {
            GetEnvironmentVariableA("TMP", tmp, sizeof tmp);
            GetEnvironmentVariableA("TEMP", temp, sizeof temp);
        }
        ~RestoreTemp()
        {
            SetEnvironmentVariableA("TMP", tmp[0] ? tmp : nullptr);
            SetEnvironmentVariableA("TEMP", temp[0] ? temp : nullptr);
        }
    } restore;
    SetEnvironmentVariableA("TMP", spaced.c_str());
    SetEnvironmentVariableA("TEMP", spaced.c_str());
    ASSERT_EQ(spaced, TempPath());

    ScanQuietly(FixturePath("ipconfig/win11_english.txt"));
    EXPECT_EQ((Rows{ { "Wi-Fi", "10.20.30.44" }, { "Ethernet 2", "10.20.31.9" } }), IpconfigRows());
    ExpectNoTemporaryFiles();

    SetFakeIpconfigReport(FixturePath("ipconfig/name_500.txt"));
    Outcome outcome;
    EXPECT_EQ(Lines{ "question: A connection name is too long." }, Scanned(&outcome));
    EXPECT_EQ(-9, outcome.result);
    ExpectNoTemporaryFiles();

    RemoveDirectoryA(spaced.c_str());
}

// When the batch file cannot be written nothing runs, and a report left by
// an interrupted scan is not taken for a new one.
TEST_F(AddressScan, UnwritableBatchFileGivesAnEmptyTable)
{
    ASSERT_TRUE(CreateDirectoryA(OwnBatch().c_str(), nullptr));
    ASSERT_TRUE(WriteWholeFile(OwnReport(), ReadFileBytes(FixturePath("ipconfig/win10_english.txt"))));

    ScanQuietly(FixturePath("ipconfig/win10_english.txt"));
    EXPECT_EQ(0, app.ipconfig.count);
    EXPECT_FALSE(PathExists(OwnReport()));
    RemoveDirectoryA(OwnBatch().c_str());
}

// Another process in the middle of its scan, under the names every copy
// once shared: its open batch file and its report stay as they are, and
// this scan reads its own report.
TEST_F(AddressScan, AnotherProcessesScanFilesAreLeftAlone)
{
    std::string temp = TempPath();
    HANDLE otherBatch = CreateFileA((temp + "NetGlawrun.bat").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, otherBatch);
    ASSERT_TRUE(WriteWholeFile(temp + "NetGlawtxt", "another report\r\n"));

    ScanQuietly(FixturePath("ipconfig/win10_english.txt"));
    EXPECT_EQ((Rows{ { "Ethernet", "192.168.178.24" }, { "vEthernet (Default Switch)", "172.21.240.1" } }),
              IpconfigRows());
    EXPECT_EQ("another report\r\n", ReadFileBytes(temp + "NetGlawtxt"));
    CloseHandle(otherBatch);
    DeleteFileA((temp + "NetGlawrun.bat").c_str());
    DeleteFileA((temp + "NetGlawtxt").c_str());
    ExpectNoTemporaryFiles();
}

} // namespace
