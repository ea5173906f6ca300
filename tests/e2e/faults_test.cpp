// NetGlow.exe under faults of its surroundings: the connection log and the
// settings file taken away or locked, the capture device vanishing, the
// interface report missing, the registry damaged, the notification area
// forgetting the icon. Each fault has its outcome: a message, or silence;
// and whatever was already written stays intact.
#include <aclapi.h>
#include <shellapi.h>
#include <sstream>
#include "e2e_common.h"
#include "support/host_shell.h"

namespace {

std::string Traffic() { return SourcePath("tests\\fixtures\\e2e\\traffic.pcap"); }
std::vector<std::string> Cycle()
{
    return Lines(TrafficLog());
}

// The replayed traffic without end, one frame every few milliseconds.
std::string EndlessTraffic(unsigned gapUs = 3000)
{
    return "replay=" + Traffic() + "\r\nreplay_repeat=1000000\r\nreplay_gap_us="
           + std::to_string(gapUs) + "\r\n";
}

// Whole lines of the replayed cycle, each following the one before it.
::testing::AssertionResult IsRunOfCycle(const std::string& text)
{
    std::vector<std::string> cycle = Cycle();
    std::vector<std::string> lines = Lines(text);
    if (lines.empty())
        return ::testing::AssertionSuccess();
    size_t start = cycle.size();
    for (size_t k = 0; k < cycle.size(); ++k)
        if (cycle[k] == lines[0])
            start = k;
    if (start == cycle.size())
        return ::testing::AssertionFailure() << "first line is no line of the traffic: " << lines[0];
    for (size_t i = 0; i < lines.size(); ++i)
        if (lines[i] != cycle[(start + i) % cycle.size()])
            return ::testing::AssertionFailure() << "line " << i << " out of order or cut: [" << lines[i] << "]";
    return ::testing::AssertionSuccess();
}

// The whole file through a handle that is already open (the only way into a
// file locked by it).
std::string ReadOpenFile(HANDLE file)
{
    std::string all;
    char chunk[4096];
    DWORD got = 0;
    SetFilePointer(file, 0, nullptr, FILE_BEGIN);
    while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0)
        all.append(chunk, got);
    return all;
}

// Packets keep arriving: the program sets both colours of the mixed traffic
// from now on.
bool LampFlickers(NetGlowProcess& ng)
{
    size_t at = ng.Lamps().size();
    return ng.WaitForLampAfter(&at, { ICON_RED }) && ng.WaitForLampAfter(&at, { ICON_YELLOW })
        && ng.WaitForLampAfter(&at, { ICON_RED });
}

// Whether a read-only file still opens for writing here: under Wine run as
// root, it does (the attribute maps to Unix modes, which root passes).
bool ReadOnlyIsEnforced(const std::string& path)
{
    HANDLE file = CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return true;
    CloseHandle(file);
    return false;
}

const char kReadOnlyNotEnforced[] =
    "a read-only file stays writable here (Wine run as root): the fault cannot be provoked";

class Faults : public E2E {
protected:
    // Logging on from the first frame of a run on "Ethernet".
    void StartLogging(const std::string& control)
    {
        SetControl(control);
        StartWith(StandardKeys("Ethernet", "0", "0"));
        ASSERT_TRUE(ng.Command(CMD_LOG_START));
        ASSERT_TRUE(ng.Command(CMD_MONITOR_START));
        ASSERT_TRUE(WaitForCalls("pcap_dispatch", 1)) << "Monitor start found no adapter \"Ethernet\"";
    }
};

} // namespace

TEST_F(Faults, LogDeletedWhileLoggingComesBackWithTheNextLines)
{
    StartLogging(EndlessTraffic());
    ASSERT_TRUE(WaitForLogLines(ng.logPath, 20));
    // Deleted as the recycle bin does, by a move: the name is free at once,
    // so only lines written after it fill it again (a file deleted in place
    // keeps its name while the program holds it open). The program may hold
    // the log open for a moment while it appends a line.
    std::string away = ng.folder + "deleted.txt";
    ASSERT_TRUE(WaitFor([&] { return MoveFileA(ng.logPath.c_str(), away.c_str()) != 0; }, 5000));
    ASSERT_TRUE(DeleteFileA(away.c_str()));
    ASSERT_TRUE(WaitForLogLines(ng.logPath, 20));
    ASSERT_TRUE(ng.Command(CMD_MONITOR_STOP));
    std::string log = ReadFileBytes(ng.logPath);
    EXPECT_TRUE(IsRunOfCycle(log));
    // The run's thread, which wrote the log, has ended: it shows nothing any more.
    EXPECT_TRUE(WaitForCalls("capture_thread_end", 1));
    EXPECT_EQ(0, CountMessageBoxesOf(ng.processId));
    Quit();
}

// A log that cannot be written stops logging, once: one balloon says why,
// the log ends on a whole line and keeps every byte it had, and monitoring
// goes on. Once the log can be written again nothing is logged until "Log
// preservation start", which logs again. The log is read before the block
// and, during it, the way the block still allows.
class BlockedLog : public Faults {
protected:
    // The balloon of a failed write, with the system's text of `error`.
    static std::string CannotWrite(DWORD error)
    {
        char text[1024] = "";
        DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
                                      text, sizeof text, nullptr);
        std::string reason(text, length);
        while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r' || reason.back() == '.'))
            reason.pop_back();
        return "The connection log cannot be written: " + reason + ". Log preservation has stopped.";
    }
    template <typename Block, typename Unblock, typename Read, typename Probe = bool (*)()>
    void Check(const std::vector<std::string>& balloons, Block block, Unblock unblock, Read readBlocked,
               Probe probe = [] { return true; }, const std::string& traffic = EndlessTraffic())
    {
        StartLogging(traffic + "log_balloons=1\r\n");
        ASSERT_TRUE(WaitForLogLines(ng.logPath, 20));
        std::string early = ReadFileBytes(ng.logPath);
        ASSERT_TRUE(WaitFor(block, 5000)); // the log may be open for a moment, as above
        if (!probe()) {
            unblock();
            ng.Command(CMD_MONITOR_STOP);
            Quit();
            GTEST_SKIP() << kReadOnlyNotEnforced;
        }
        ASSERT_TRUE(WaitForCalls("balloon", 1, 30000));
        std::string blocked = readBlocked();
        ASSERT_GE(Lines(early).size(), 20u);
        EXPECT_TRUE(early == blocked.substr(0, early.size())) << "the log lost or changed bytes";
        EXPECT_EQ("\r\n", blocked.substr(blocked.size() - 2)) << "the log ends in the middle of a line";
        EXPECT_TRUE(IsRunOfCycle(blocked));
        int shown = 0;
        for (const std::string& balloon : balloons)
            shown += Calls("balloon size 504 icon 2: " + balloon); // NIIF_WARNING
        EXPECT_EQ(1, shown) << ReadFileBytes(ng.wpcapCalls);

        ASSERT_TRUE(unblock());
        ASSERT_TRUE(LampFlickers(ng)); // monitoring goes on
        EXPECT_TRUE(blocked == ReadFileBytes(ng.logPath)) << "logging went on";
        EXPECT_EQ(1, Calls("balloon")) << "one balloon per failure";
        EXPECT_EQ(0, CountMessageBoxesOf(ng.processId));
        ASSERT_TRUE(ng.Command(CMD_LOG_START));
        ASSERT_TRUE(WaitForLogLines(ng.logPath, Lines(blocked).size() + 20));
        ASSERT_TRUE(ng.Command(CMD_MONITOR_STOP));
        std::string after = ReadFileBytes(ng.logPath);
        ASSERT_TRUE(blocked == after.substr(0, blocked.size())) << "the log lost or changed bytes";
        EXPECT_TRUE(IsRunOfCycle(after.substr(blocked.size())));
        Quit();
    }
};

TEST_F(BlockedLog, ReadOnlyLogStopsLoggingWithABalloon)
{
    Check({ CannotWrite(ERROR_ACCESS_DENIED) },
          [&] { return SetFileAttributesA(ng.logPath.c_str(), FILE_ATTRIBUTE_READONLY) != 0; },
          [&] { return SetFileAttributesA(ng.logPath.c_str(), FILE_ATTRIBUTE_NORMAL) != 0; },
          [&] { return ReadFileBytes(ng.logPath); },
          [&] { return ReadOnlyIsEnforced(ng.logPath); });
}

TEST_F(BlockedLog, LogLockedByAnotherProcessStopsLoggingWithABalloon)
{
    HANDLE lock = INVALID_HANDLE_VALUE;
    Check({ CannotWrite(ERROR_SHARING_VIOLATION) },
          [&] {
              lock = CreateFileA(ng.logPath.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
              return lock != INVALID_HANDLE_VALUE;
          },
          [&] { return CloseHandle(lock) != 0; },
          [&] { return ReadOpenFile(lock); });
}

TEST_F(BlockedLog, LogFolderMissingStopsLoggingWithABalloon)
{
    std::string folder = ng.folder.substr(0, ng.folder.size() - 1);
    std::string moved = folder + "-away";
    Check({ CannotWrite(ERROR_PATH_NOT_FOUND) },
          [&] { return MoveFileA(folder.c_str(), moved.c_str()) != 0; },
          [&] { return MoveFileA(moved.c_str(), folder.c_str()) != 0; },
          [&] { return ReadFileBytes(moved + "\\NetGlow.txt"); });
}

// The program's folder on a small file system of its own that the log
// fills at full speed, in reads of 7 frames; a file put there first makes room again. Whether the
// write that no longer fits or the look at the free space (once a second)
// comes first depends on the machine's pace: either stops logging.
TEST_F(BlockedLog, FullDiskStopsLoggingWithABalloon)
{
    std::string mount = UnixPathOf(ng.folder);
    if (RunHostScript("mount -t tmpfs -o size=3m tmpfs '" + mount + "'") != 0)
        GTEST_SKIP() << "a small file system (tmpfs) cannot be mounted here";
    struct Unmount {
        std::string at;
        ~Unmount() { RunHostScript("umount -l '" + at + "'"); }
    } unmount{ mount };
    std::string room = ng.folder + "room.bin";
    ASSERT_TRUE(WriteWholeFile(room, std::string(512 * 1024, 'x')));
    Check({ CannotWrite(ERROR_DISK_FULL),
            "The disk holding the connection log is almost full. Log preservation has stopped." },
          [] { return true; }, [&] { return DeleteFileA(room.c_str()) != 0; },
          [&] { return ReadFileBytes(ng.logPath); }, [] { return true; },
          EndlessTraffic(0) + "dispatch_batch=7\r\n"); // reads ending on either colour
}

// With a limit of 1 MB and two set-aside files, the three files hold the
// last frames' lines, in order, none of them above the limit.
TEST_F(Faults, LogSetAsideAtItsLimitKeepsTheLastFramesInOrder)
{
    const int frames = 30000;
    Keys keys = StandardKeys("Ethernet", "0", "0");
    keys.push_back({ "LogLimitMB", "1" });
    keys.push_back({ "LogFiles", "2" });
    SetControl("replay=" + Traffic() + "\r\nreplay_repeat=" + std::to_string(frames / Cycle().size()) + "\r\n");
    StartWith(keys);
    ASSERT_TRUE(ng.Command(CMD_LOG_START));
    ASSERT_TRUE(ng.Command(CMD_MONITOR_START));
    ASSERT_TRUE(WaitForCalls("replay_end", 1, 60000));
    ASSERT_TRUE(ng.Command(CMD_MONITOR_STOP));
    std::vector<std::string> cycle = Cycle();
    std::string all;
    for (const char* name : { "NetGlow.2.txt", "NetGlow.1.txt", "NetGlow.txt" }) {
        std::string file = ReadFileBytes(ng.folder + name);
        EXPECT_LE(file.size(), 1048576u) << name;
        all += file;
    }
    EXPECT_FALSE(PathExists(ng.folder + "NetGlow.3.txt"));
    std::vector<std::string> lines = Lines(all);
    ASSERT_GT(lines.size(), 2 * 1048576u / 150);
    for (size_t i = 0; i < lines.size(); ++i)
        ASSERT_EQ(cycle[(frames - lines.size() + i) % cycle.size()], lines[i]) << "line " << i;
    Quit();
    EXPECT_EQ(SettingsFile(keys), ReadFileBytes(ng.settingsPath));
}

TEST_F(Faults, ReadOnlySettingsFileIsLeftAsItWasAtQuit)
{
    // A save would rewrite "020" as "20": the file shows whether one happened.
    Keys keys = StandardKeys("Ethernet", "0", "0");
    keys.back().second = "020";
    StartWith(keys);
    ASSERT_TRUE(SetFileAttributesA(ng.settingsPath.c_str(), FILE_ATTRIBUTE_READONLY));
    if (!ReadOnlyIsEnforced(ng.settingsPath)) {
        SetFileAttributesA(ng.settingsPath.c_str(), FILE_ATTRIBUTE_NORMAL);
        Quit();
        GTEST_SKIP() << kReadOnlyNotEnforced;
    }
    Quit(); // a box would keep the program from ending: nobody answers it
    SetFileAttributesA(ng.settingsPath.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(SettingsFile(keys), ReadFileBytes(ng.settingsPath));
}

TEST_F(Faults, WritableSettingsFileIsSavedAtQuit)
{
    // The counterpart of the test above: without the fault the file changes.
    Keys keys = StandardKeys("Ethernet", "0", "0");
    keys.back().second = "020";
    StartWith(keys);
    Quit();
    EXPECT_EQ(SettingsFile(StandardKeys("Ethernet", "0", "0")), ReadFileBytes(ng.settingsPath));
}

TEST_F(Faults, UnwritableSettingsFolderAtQuitEndsSilently)
{
    // The folder is gone when Quit saves: nothing can be written, nothing is
    // shown, and the file is found as it was once the folder is back.
    const Keys keys = StandardKeys("Ethernet", "0", "0");
    StartWith(keys);
    std::string folder = ng.folder.substr(0, ng.folder.size() - 1);
    std::string moved = folder + "-away";
    if (!MoveFileA(folder.c_str(), moved.c_str()))
        GTEST_SKIP() << "the program folder cannot be moved while the program runs";
    Quit(); // a box would keep the program from ending: nobody answers it
    ASSERT_TRUE(MoveFileA(moved.c_str(), folder.c_str()));
    EXPECT_EQ(SettingsFile(keys), ReadFileBytes(ng.settingsPath));
}

TEST_F(Faults, CaptureDeviceVanishingKeepsEveryLineLoggedBeforeIt)
{
    StartLogging("replay=" + Traffic() + "\r\nreplay_repeat=3\r\nloop_fail_after=17\r\n");
    ASSERT_TRUE(AnswerBox(ng.processId, "The error occurred with the pcap_loop function.", IDOK, MB_ICONERROR));
    EXPECT_TRUE(WaitForLamp(ICON_STOPPED));
    EXPECT_TRUE(WaitForCalls("pcap_close", 1));

    std::vector<std::string> cycle = Cycle();
    std::string expected;
    for (int i = 0; i < 17; ++i)
        expected += cycle[i % cycle.size()];
    EXPECT_EQ(expected, ReadFileBytes(ng.logPath));
    Quit();
}

// Without a usable interface report no adapter has an address: the saved
// adapter is missing, monitoring does not start, and nothing is shown.
class ReportFaults : public Faults {
protected:
    void CheckQuietStart()
    {
        const Keys keys = StandardKeys("Ethernet", "0", "1");
        // Start-up shows its boxes before the main window: StartWith has
        // seen the window, and no run was started that could show one later.
        StartWith(keys);
        EXPECT_EQ(0, CountMessageBoxesOf(ng.processId));
        // The stopped image of the add, set before the capture library (which
        // records the later calls) was loaded: the screen tells; no other
        // image followed.
        EXPECT_TRUE(WaitForLampOnScreen(ICON_STOPPED));
        for (const NetGlowProcess::LampSet& set : ng.Lamps())
            EXPECT_EQ(ICON_STOPPED, set.lamp);
        EXPECT_EQ(0, Calls("pcap_create"));
        // The temporary batch file and report, named with the process id, are gone.
        std::string pid = std::to_string(ng.processId);
        EXPECT_FALSE(PathExists(TempPath() + "NetGlaw" + pid + "run.bat"));
        EXPECT_FALSE(PathExists(TempPath() + "NetGlaw" + pid + "txt"));
        // A start from the menu finds no adapter either, silently: a box
        // would keep the command from returning.
        ASSERT_TRUE(ng.Command(CMD_MONITOR_START));
        EXPECT_EQ(0, Calls("pcap_create"));
        Quit();
        EXPECT_EQ(SettingsFile(keys), ReadFileBytes(ng.settingsPath));
    }
};

TEST_F(ReportFaults, ReportPrintingNothingStartsQuietlyWithoutAdapters)
{
    WriteWholeFile(ng.folder + "empty-report.txt", "");
    ng.ipconfigReport = ng.folder + "empty-report.txt";
    CheckQuietStart();
}

std::string SystemIpconfig()
{
    char system[MAX_PATH];
    GetSystemDirectoryA(system, MAX_PATH);
    return std::string(system) + "\\ipconfig.exe";
}

std::string Lower(std::string text)
{
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

TEST_F(ReportFaults, ReportCommandMissingStartsQuietlyWithoutAdapters)
{
    // The system's ipconfig.exe (the double) is taken away for this run; an
    // ipconfig lying in the current folder is no stand-in for it.
    std::string system = SystemIpconfig();
    std::string moved = system + ".away";
    ASSERT_TRUE(MoveFileExA(system.c_str(), moved.c_str(), MOVEFILE_REPLACE_EXISTING));
    struct PutBack {
        std::string from, to;
        ~PutBack() { MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING); }
    } putBack{ moved, system };
    char oldDir[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, oldDir);
    std::string current = MakeTempFolder("noipconfig");
    ASSERT_TRUE(CopyFileA(moved.c_str(), (current + "ipconfig.exe").c_str(), FALSE));
    SetCurrentDirectoryA(current.c_str());
    CheckQuietStart();
    SetCurrentDirectoryA(oldDir);
}

// Only the system folder's ipconfig runs: copies lying in the program's folder
// and in its current folder (a downloads folder) never do, whatever their kind.
TEST_F(ReportFaults, IpconfigInProgramOrCurrentFolderIsNeverRun)
{
    std::string calls = ng.folder + "ipconfig-calls.txt";
    SetEnvironmentVariableA("NETGLOW_FAKE_IPCONFIG_CALLS", calls.c_str());
    std::string double_ = SystemIpconfig();
    std::string current = MakeTempFolder("downloads");
    ASSERT_TRUE(CopyFileA(double_.c_str(), (ng.folder + "ipconfig.exe").c_str(), FALSE));
    ASSERT_TRUE(CopyFileA(double_.c_str(), (current + "ipconfig.exe").c_str(), FALSE));
    ASSERT_TRUE(CopyFileA(double_.c_str(), (current + "ipconfig.com").c_str(), FALSE));
    ASSERT_TRUE(WriteWholeFile(current + "ipconfig.bat", "@echo " + current + "ipconfig.bat>>\"" + calls + "\"\r\n"));
    ASSERT_TRUE(WriteWholeFile(ng.folder + "ipconfig.bat", "@echo " + ng.folder + "ipconfig.bat>>\"" + calls + "\"\r\n"));
    char oldDir[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, oldDir);
    SetCurrentDirectoryA(current.c_str());
    StartWith(StandardKeys("Ethernet", "0", "1"));
    SetCurrentDirectoryA(oldDir);
    SetEnvironmentVariableA("NETGLOW_FAKE_IPCONFIG_CALLS", nullptr);
    EXPECT_TRUE(WaitForCalls("pcap_dispatch", 1)) << "the system's ipconfig gave no report";
    EXPECT_EQ(Lower(double_ + "\r\n"), Lower(ReadFileBytes(calls)));
    Quit();
}

const char kClassKey[] =
    "SYSTEM\\ControlSet001\\Control\\Network\\{4D36E972-E325-11CE-BFC1-08002BE10318}";

// Registry damage: a message at start, then the program ends without saving.
class RegistryFaults : public Faults {
protected:
    void TearDown() override
    {
        // Later scenarios get the standard registry back; a key closed to
        // everybody is opened again first (its owner may change its list).
        HKEY key;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kClassKey, 0, WRITE_DAC, &key) == ERROR_SUCCESS) {
            SetSecurityInfo(key, SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION, nullptr, nullptr, nullptr, nullptr);
            RegCloseKey(key);
        }
        SeedRegistry({ { "{6E0B1A52-1C3D-4C8B-9A11-0F2E3D4C5B6A}", "Ethernet" },
                       { "{9F8E7D6C-5B4A-4392-8170-A1B2C3D4E5F6}", "Lab Network" } });
    }
    void CheckStartFails(const char* text, UINT icon)
    {
        const Keys keys = StandardKeys("Ethernet", "0", "1");
        ASSERT_TRUE(WriteWholeFile(ng.settingsPath, SettingsFile(keys)));
        ASSERT_TRUE(ng.Start());
        ASSERT_TRUE(AnswerBox(ng.processId, text, IDOK, icon));
        EXPECT_EQ(0, ng.WaitForExit());
        EXPECT_EQ(0, Calls("pcap_create"));
        EXPECT_EQ(SettingsFile(keys), ReadFileBytes(ng.settingsPath));
        EXPECT_TRUE(WaitForLamp(0));
    }
};

TEST_F(RegistryFaults, SelectKeyMissing)
{
    ASSERT_EQ(ERROR_SUCCESS, RegDeleteTreeA(HKEY_LOCAL_MACHINE, "SYSTEM\\Select"));
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SYSTEM\\Select");
    CheckStartFails("Registry was not able to be opened.", MB_ICONQUESTION);
}

TEST_F(RegistryFaults, CurrentValueMissing)
{
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM\\Select", 0, KEY_ALL_ACCESS, &key));
    RegDeleteValueA(key, "Current");
    RegCloseKey(key);
    CheckStartFails("Data was unacquirable from registry.", MB_ICONQUESTION);
}

TEST_F(RegistryFaults, NetworkKeyMissing)
{
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, "SYSTEM\\ControlSet001\\Control\\Network");
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SYSTEM\\ControlSet001\\Control\\Network");
    CheckStartFails("Registry was not able to be opened.", MB_ICONQUESTION);
}

TEST_F(RegistryFaults, UnreadableClassKey)
{
    // A class key whose access list grants nobody anything.
    HKEY key;
    const char* classKey = kClassKey;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, classKey, 0, KEY_ALL_ACCESS, &key));
    ACL empty;
    InitializeAcl(&empty, sizeof empty, ACL_REVISION);
    LONG set = SetSecurityInfo(key, SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                               nullptr, nullptr, &empty, nullptr);
    RegCloseKey(key);
    ASSERT_EQ(ERROR_SUCCESS, set);
    HKEY probe;
    LONG opened = RegOpenKeyExA(HKEY_LOCAL_MACHINE, classKey, 0, KEY_READ, &probe);
    if (opened == ERROR_SUCCESS) {
        RegCloseKey(probe);
        GTEST_SKIP() << "this Wine grants access to a registry key whatever its access list";
    }
    CheckStartFails("A network card was not found.\n (administrator authority or XP compatibility mode may be necessity at NetGlow.)",
                    MB_ICONERROR);
}

TEST_F(Faults, IconForgottenByARestartedShellComesBackAndStillFlickers)
{
    StartLogging(EndlessTraffic(20000));
    ASSERT_TRUE(LampFlickers(ng));
    // What a restarted shell's notification area holds: no icon of ours.
    NOTIFYICONDATAA record;
    ZeroMemory(&record, sizeof record);
    record.cbSize = NOTIFYICONDATAA_V1_SIZE;
    record.hWnd = ng.window;
    record.uID = TRAY_ICON_ID;
    size_t deleted = ng.Lamps().size();
    ASSERT_TRUE(Shell_NotifyIconA(NIM_DELETE, &record));
    // Frames that change the image meanwhile must not bring it back.
    ASSERT_TRUE(LampFlickers(ng));
    std::vector<NetGlowProcess::LampSet> meanwhile = ng.Lamps();
    for (size_t i = deleted; i < meanwhile.size(); ++i)
        EXPECT_FALSE(meanwhile[i].added) << "the icon came back before the shell asked for it";
    // Sent: the shell's request has been handled when the call returns.
    DWORD_PTR result = 0;
    ASSERT_TRUE(SendMessageTimeoutA(HWND_BROADCAST, RegisterWindowMessageA("TaskbarCreated"), 0, 0,
                                    SMTO_NORMAL | SMTO_ABORTIFHUNG, 5000, &result));
    std::vector<NetGlowProcess::LampSet> after = ng.Lamps();
    bool back = false;
    for (size_t i = meanwhile.size(); i < after.size(); ++i)
        back = back || after[i].added;
    EXPECT_TRUE(back) << "the icon was not added again";
    EXPECT_TRUE(LampFlickers(ng));
    ASSERT_TRUE(ng.Command(CMD_MONITOR_STOP));
    EXPECT_TRUE(WaitForLamp(ICON_STOPPED));
    Quit();
    EXPECT_TRUE(WaitForLamp(0));
}
