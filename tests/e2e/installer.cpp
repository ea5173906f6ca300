// NetGlow's installer and uninstaller end to end, as a script or winget runs
// them (silent), in a fresh prefix of their own (wine-run --fresh, prefix
// "install") with the capture library double in the system folder. One
// table of phases, each starting from what the one before left.
#include "e2e_common.h"
#include <shellapi.h>
#include <shlobj.h>
#include <tlhelp32.h>
#include <algorithm>
#include <map>
#include "support/tray_user.h"

namespace {

const std::string VERSION = NETGLOW_VERSION;                 // project() in CMakeLists.txt
const std::string UPGRADE_VERSION = NETGLOW_UPGRADE_VERSION; // the second installer's
const DWORD RUN_LIMIT_MS = 60000;

const char UNINSTALL_KEY[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\NetGlow";
const char RUN_KEY[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

std::string KnownFolder(int csidl)
{
    char path[MAX_PATH] = "";
    SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path);
    return path;
}

std::string SystemFolder()
{
    char path[MAX_PATH] = "";
    GetSystemDirectoryA(path, MAX_PATH);
    return path;
}

// Runs a command line to its end, bounded; its exit code, -1 when it did not
// start or end in time.
int Run(const std::string& commandLine, DWORD* processId = nullptr)
{
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    std::string line = commandLine;
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
        return -1;
    CloseHandle(info.hThread);
    DWORD code = static_cast<DWORD>(-1);
    if (WaitForSingleObject(info.hProcess, RUN_LIMIT_MS) == WAIT_OBJECT_0)
        GetExitCodeProcess(info.hProcess, &code);
    else
        TerminateProcess(info.hProcess, 99);
    CloseHandle(info.hProcess);
    if (processId != nullptr)
        *processId = info.dwProcessId;
    return static_cast<int>(code);
}

int RunInstaller(const std::string& installer, const std::string& switches)
{
    return Run("\"" + installer + "\" " + switches);
}

// An NSIS uninstaller copies itself to the temporary folder, starts the copy
// and ends at once: the copy's end is the uninstall's end, and its exit code
// the uninstall's.
int RunUninstaller(const std::string& commandLine)
{
    DWORD parent = 0;
    if (Run(commandLine, &parent) != 0)
        return -1;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    HANDLE copy = nullptr;
    for (BOOL more = Process32First(snapshot, &entry); more && copy == nullptr; more = Process32Next(snapshot, &entry))
        if (entry.th32ParentProcessID == parent)
            copy = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION | PROCESS_TERMINATE, FALSE, entry.th32ProcessID);
    CloseHandle(snapshot);
    if (copy == nullptr)
        return -1;
    DWORD code = static_cast<DWORD>(-1);
    if (WaitForSingleObject(copy, RUN_LIMIT_MS) == WAIT_OBJECT_0)
        GetExitCodeProcess(copy, &code);
    else
        TerminateProcess(copy, 99);
    CloseHandle(copy);
    return static_cast<int>(code);
}

// The names in a folder, sorted; empty when it does not exist.
std::vector<std::string> FilesIn(const std::string& folder)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do {
        std::string name = found.cFileName;
        if (name != "." && name != "..")
            names.push_back(name);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
}

// A time no build can have: a file that still shows it was not written again.
const FILETIME MARK = { 0xC89DC000u, 0x01C07385u }; // 2001-01-01 00:00 UTC

bool MarkFile(const std::string& path)
{
    HANDLE file = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    bool done = SetFileTime(file, nullptr, nullptr, &MARK) != 0;
    CloseHandle(file);
    return done;
}

bool IsMarked(const std::string& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    return GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)
        && CompareFileTime(&data.ftLastWriteTime, &MARK) == 0;
}

// A key's values: text as it stands, a number as "dword:<decimal>".
using Values = std::map<std::string, std::string>;

bool KeyExists(HKEY root, const char* path)
{
    HKEY key;
    if (RegOpenKeyExA(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

Values ValuesOf(HKEY root, const char* path)
{
    Values values;
    HKEY key;
    if (RegOpenKeyExA(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return values;
    for (DWORD index = 0;; ++index) {
        char name[256];
        BYTE data[2048];
        DWORD nameSize = sizeof name;
        DWORD dataSize = sizeof data - 1;
        DWORD type = 0;
        if (RegEnumValueA(key, index, name, &nameSize, nullptr, &type, data, &dataSize) != ERROR_SUCCESS)
            break;
        if (type == REG_DWORD)
            values[name] = "dword:" + std::to_string(*reinterpret_cast<DWORD*>(data));
        else if (type == REG_SZ) {
            data[dataSize] = '\0';
            values[name] = reinterpret_cast<char*>(data);
        } else
            values[name] = "type " + std::to_string(type);
    }
    RegCloseKey(key);
    return values;
}

// The Run value "NetGlow"; "(none)" when there is none.
std::string RunValue()
{
    Values values = ValuesOf(HKEY_CURRENT_USER, RUN_KEY);
    return values.count("NetGlow") ? values["NetGlow"] : "(none)";
}

// The program a shortcut starts; empty when it cannot be read.
std::string ShortcutTarget(const std::string& link)
{
    std::string target;
    IShellLinkA* shellLink = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                reinterpret_cast<void**>(&shellLink))))
        return target;
    IPersistFile* file = nullptr;
    wchar_t wide[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, link.c_str(), -1, wide, MAX_PATH);
    if (SUCCEEDED(shellLink->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
        char path[MAX_PATH] = "";
        if (SUCCEEDED(file->Load(wide, STGM_READ)) && SUCCEEDED(shellLink->GetPath(path, MAX_PATH, nullptr, 0)))
            target = path;
        file->Release();
    }
    shellLink->Release();
    return target;
}

// The Setup dialog's OK at the first start, answered as a person does.
void AnswerFirstRunSetup(NetGlowProcess& ng)
{
    HWND setup = WaitForWindow(ng.processId, "#32770", "Setup");
    ASSERT_NE(nullptr, setup);
    ClickButton(setup, IDC_SETUP_OK);
    ASSERT_TRUE(AnswerBox(ng.processId, "Save Changes?", IDYES));
    ASSERT_TRUE(WaitUntilGone(setup));
}

class Installer : public E2E {
protected:
    void SetUp() override
    {
        E2E::SetUp();
        CoInitialize(nullptr);
        ng.UseDoubles();
    }
    void TearDown() override { CoUninitialize(); }

    // settings: the program has run there and written NetGlow.ini.
    void ExpectInstalledFiles(const std::string& folder, bool settings = false)
    {
        std::vector<std::string> names = { "NetGlow.chm", "NetGlow.exe", "ReadMe.txt", "Uninstall.exe", "install.log" };
        if (settings)
            names.insert(names.begin() + 2, "NetGlow.ini");
        EXPECT_EQ(names, FilesIn(folder));
        for (const char* name : { "NetGlow.exe", "NetGlow.chm", "ReadMe.txt" })
            EXPECT_TRUE(ReadFileBytes(BuildPath(name)) == ReadFileBytes(folder + "\\" + name))
                << name << " is not the build's";
    }

    void ExpectUninstallValues(HKEY root, const std::string& folder, const std::string& version)
    {
        // What Settings > Apps shows; the size in KB of the four files, rounded up.
        DWORD64 bytes = 0;
        for (const char* name : { "NetGlow.exe", "NetGlow.chm", "ReadMe.txt", "Uninstall.exe" })
            bytes += FileSize(folder + "\\" + name);
        EXPECT_EQ((Values{
                      { "DisplayName", "NetGlow" },
                      { "DisplayVersion", version },
                      { "Publisher", "NetGlow" },
                      { "DisplayIcon", folder + "\\NetGlow.exe" },
                      { "InstallLocation", folder },
                      { "UninstallString", "\"" + folder + "\\Uninstall.exe\"" },
                      { "QuietUninstallString", "\"" + folder + "\\Uninstall.exe\" /S" },
                      { "EstimatedSize", "dword:" + std::to_string((bytes + 1023) / 1024) },
                      { "NoModify", "dword:1" },
                      { "NoRepair", "dword:1" },
                  }),
                  ValuesOf(root, UNINSTALL_KEY));
    }

    std::string SetupLine(const std::string& version) { return "NetGlow " + version + " setup\r\n"; }
    std::string InstalledLines(const std::string& version, const std::string& scope, const std::string& folder)
    {
        return SetupLine(version) + "Installed for " + scope + " in " + folder + "\r\n" + "Capture library: "
             + SystemFolder() + "\\Npcap\\wpcap.dll\r\n";
    }
    void ExpectInstalled(HKEY root, const std::string& folder, const std::string& shortcut, const std::string& log)
    {
        ExpectInstalledFiles(folder);
        EXPECT_EQ(folder + "\\NetGlow.exe", ShortcutTarget(shortcut));
        ExpectUninstallValues(root, folder, VERSION);
        EXPECT_FALSE(KeyExists(root == HKEY_CURRENT_USER ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER, UNINSTALL_KEY));
        EXPECT_EQ(log, ReadFileBytes(folder + "\\install.log"));
    }

public:
    // Phases, in order (the table below).
    void InstallsForTheUser()
    {
        ASSERT_EQ(0, RunInstaller(setup, "/S"));
        log = InstalledLines(VERSION, "the current user", userFolder);
        ExpectInstalled(HKEY_CURRENT_USER, userFolder, userShortcut, log);
        EXPECT_EQ("(none)", RunValue());
    }

    void AutostartWritesTheRunValue()
    {
        ASSERT_EQ(0, RunInstaller(setup, "/S /AUTOSTART"));
        EXPECT_EQ("\"" + userFolder + "\\NetGlow.exe\"", RunValue());
        log += InstalledLines(VERSION, "the current user", userFolder);
        EXPECT_EQ(log, ReadFileBytes(userFolder + "\\install.log"));
    }

    void StartsFromItsShortcutWithTheFirstRunSetup()
    {
        StartFromShortcut();
        ASSERT_NE(nullptr, WaitForWindow(ng.processId, "#32770", "Setup"));
    }

    void StartFromShortcut()
    {
        ASSERT_TRUE(PathExists(userShortcut));
        SHELLEXECUTEINFOA info = {};
        info.cbSize = sizeof info;
        info.fMask = SEE_MASK_FLAG_NO_UI; // a failure must not wait for a person
        info.lpVerb = "open";
        info.lpFile = userShortcut.c_str();
        info.nShow = SW_SHOWNORMAL;
        ASSERT_TRUE(ShellExecuteExA(&info));
        ASSERT_TRUE(ng.AttachToRunningCopy());
    }

    // Still starting (its first-run Setup is open), it keeps the Quit for
    // later: the installer gives up with the code winget reads as "in use".
    void UpgradeDuringStartUpEndsWithThreeAndReplacesNothing()
    {
        ASSERT_TRUE(MarkFile(userFolder + "\\NetGlow.exe"));
        ASSERT_EQ(3, RunInstaller(upgrade, "/S"));
        EXPECT_TRUE(IsMarked(userFolder + "\\NetGlow.exe"));
        EXPECT_EQ(VERSION, ValuesOf(HKEY_CURRENT_USER, UNINSTALL_KEY)["DisplayVersion"]);
        EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(ng.process, 0)) << "NetGlow ended";
        log += SetupLine(UPGRADE_VERSION) + "NetGlow did not end within 10 seconds of its Quit: nothing was replaced.\r\n";
        EXPECT_EQ(log, ReadFileBytes(userFolder + "\\install.log"));
    }

    // The kept Quit is carried out once start-up is over, and saves as Quit does.
    void FirstRunSetupAnsweredTheKeptQuitEndsIt()
    {
        AnswerFirstRunSetup(ng);
        EXPECT_EQ(0, ng.WaitForExit()) << "NetGlow did not end by the Quit kept during its start-up";
        EXPECT_EQ(SettingsFile({ { "WaitTime", "100" }, { "WaitCount", "50" }, { "WaitFlag", "1" },
                                 { "CardName", "" }, { "CardIndex", "-1" }, { "InitOpt", "-1" },
                                 { "StartOpt", "0" }, { "NowOpt", "0" }, { "ColorSend", "1" },
                                 { "ColorRecv", "2" }, { "TimeoutP", "20" }, { "CardAuto", "1" } }),
                  ReadFileBytes(userFolder + "\\NetGlow.ini"));
    }

    void StartedAgainTheIconAppears()
    {
        StartFromShortcut();
        ASSERT_NE(nullptr, ng.WaitForMainWindow());
        EXPECT_TRUE(WaitForLamp(ICON_STOPPED));
    }

    void UpgradeQuitsSavesReplacesAndStartsItAgain()
    {
        for (const char* name : { "NetGlow.exe", "NetGlow.chm", "ReadMe.txt" })
            ASSERT_TRUE(MarkFile(userFolder + "\\" + name)) << name;
        HANDLE before = ng.process;
        DWORD beforeId = ng.processId;
        ng.process = nullptr; // kept here, to read how it ended
        ASSERT_EQ(0, RunInstaller(upgrade, "/S"));
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(before, 0));
        DWORD code = 99;
        GetExitCodeProcess(before, &code);
        CloseHandle(before);
        EXPECT_EQ(0u, code);
        // Saved as at Quit: the first start is now done.
        EXPECT_EQ(SettingsFile({ { "WaitTime", "100" }, { "WaitCount", "50" }, { "WaitFlag", "1" },
                                 { "CardName", "" }, { "CardIndex", "-1" }, { "InitOpt", "-1" },
                                 { "StartOpt", "0" }, { "NowOpt", "0" }, { "ColorSend", "1" },
                                 { "ColorRecv", "2" }, { "TimeoutP", "20" }, { "CardAuto", "1" } }),
                  ReadFileBytes(userFolder + "\\NetGlow.ini"));
        for (const char* name : { "NetGlow.exe", "NetGlow.chm", "ReadMe.txt" })
            EXPECT_FALSE(IsMarked(userFolder + "\\" + name)) << name << " was not replaced";
        ExpectInstalledFiles(userFolder, true);
        ExpectUninstallValues(HKEY_CURRENT_USER, userFolder, UPGRADE_VERSION);
        EXPECT_EQ("\"" + userFolder + "\\NetGlow.exe\"", RunValue()) << "the silent mode keeps the Run value";
        log += InstalledLines(UPGRADE_VERSION, "the current user", userFolder)
             + "NetGlow was running: it quit before its files were replaced and was started again.\r\n";
        EXPECT_EQ(log, ReadFileBytes(userFolder + "\\install.log"));

        ASSERT_TRUE(ng.AttachToRunningCopy(beforeId));
        ASSERT_NE(nullptr, ng.WaitForMainWindow());
        EXPECT_TRUE(WaitForLamp(ICON_STOPPED));
    }

    void UninstallQuitsItAndKeepsTheSettings()
    {
        const std::string settings = ReadFileBytes(userFolder + "\\NetGlow.ini");
        const std::string command = ValuesOf(HKEY_CURRENT_USER, UNINSTALL_KEY)["QuietUninstallString"];
        ASSERT_EQ(0, RunUninstaller(command));
        EXPECT_EQ(0, ng.WaitForExit(0)) << "NetGlow still runs or did not end by its Quit";
        EXPECT_EQ((std::vector<std::string>{ "NetGlow.ini" }), FilesIn(userFolder));
        EXPECT_EQ(settings, ReadFileBytes(userFolder + "\\NetGlow.ini"));
        EXPECT_FALSE(PathExists(userShortcut));
        EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, UNINSTALL_KEY));
        EXPECT_EQ("(none)", RunValue());
    }

    void InstallsForAllUsers()
    {
        ASSERT_EQ(0, RunInstaller(setup, "/S /AllUsers"));
        ExpectInstalled(HKEY_LOCAL_MACHINE, allFolder, allShortcut, InstalledLines(VERSION, "all users", allFolder));

        ASSERT_EQ(0, RunUninstaller(ValuesOf(HKEY_LOCAL_MACHINE, UNINSTALL_KEY)["QuietUninstallString"]));
        EXPECT_FALSE(PathExists(allFolder));
        EXPECT_FALSE(PathExists(allShortcut));
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, UNINSTALL_KEY));
    }

    void WithoutACaptureLibraryTheLogNamesNpcap()
    {
        // Wine puts a wpcap.dll of its own in the system folder.
        for (const std::string& library : { SystemFolder() + "\\Npcap\\wpcap.dll", SystemFolder() + "\\wpcap.dll" })
            ASSERT_TRUE(DeleteFileA(library.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND) << library;
        ASSERT_EQ(0, RunInstaller(setup, "/S"));
        EXPECT_EQ(SetupLine(VERSION) + "Installed for the current user in " + userFolder + "\r\n"
                      + "Npcap is missing: NetGlow cannot watch an adapter until it is installed. Download Npcap "
                        "from https://npcap.com/#download; its WinPcap API-compatible mode is not needed (NetGlow "
                        "looks in Npcap's own folder first).\r\n",
                  ReadFileBytes(userFolder + "\\install.log"));
    }

    const std::string setup = BuildPath("NetGlow-" + VERSION + "-setup.exe");
    const std::string upgrade = BuildPath("tests\\e2e\\NetGlow-" + UPGRADE_VERSION + "-setup.exe");
    const std::string userFolder = KnownFolder(CSIDL_LOCAL_APPDATA) + "\\Programs\\NetGlow";
    const std::string allFolder = KnownFolder(CSIDL_PROGRAM_FILES) + "\\NetGlow";
    const std::string userShortcut = KnownFolder(CSIDL_PROGRAMS) + "\\NetGlow.lnk";
    const std::string allShortcut = KnownFolder(CSIDL_COMMON_PROGRAMS) + "\\NetGlow.lnk";
    std::string log; // install.log of the user's folder as it must stand
};

struct Phase {
    const char* name;
    void (Installer::*run)();
};

const Phase PHASES[] = {
    { "silent install for the current user", &Installer::InstallsForTheUser },
    { "/AUTOSTART writes the Run value", &Installer::AutostartWritesTheRunValue },
    { "started from its shortcut, it shows the first-run Setup", &Installer::StartsFromItsShortcutWithTheFirstRunSetup },
    { "an upgrade during start-up ends with 3 and replaces nothing",
      &Installer::UpgradeDuringStartUpEndsWithThreeAndReplacesNothing },
    { "the first-run Setup answered, the Quit kept meanwhile ends it after saving",
      &Installer::FirstRunSetupAnsweredTheKeptQuitEndsIt },
    { "started again, the icon appears", &Installer::StartedAgainTheIconAppears },
    { "an upgrade quits it, saves, replaces the files and starts it again",
      &Installer::UpgradeQuitsSavesReplacesAndStartsItAgain },
    { "the silent uninstall quits it and keeps the settings", &Installer::UninstallQuitsItAndKeepsTheSettings },
    { "/AllUsers installs into Program Files under HKLM", &Installer::InstallsForAllUsers },
    { "without a capture library the log names Npcap", &Installer::WithoutACaptureLibraryTheLogNamesNpcap },
};

} // namespace

TEST_F(Installer, InstallUpgradeAndRemove)
{
#ifdef NETGLOW_NO_MAKENSIS
    GTEST_SKIP() << "makensis is not installed (Debian package nsis, scripts/deps.sh): no installer was built";
#endif
    for (const Phase& phase : PHASES) {
        SCOPED_TRACE(phase.name);
        DWORD start = GetTickCount();
        (this->*phase.run)();
        printf("[ phase    ] %s (%lu ms)\n", phase.name, static_cast<unsigned long>(GetTickCount() - start));
        if (HasFatalFailure())
            return;
    }
}
