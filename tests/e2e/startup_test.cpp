// NetGlow.exe start-up and shutdown paths.
#include "e2e_common.h"
#include "support/tray_user.h"

namespace {

Keys WithKey(Keys keys, const std::string& name, const std::string& value)
{
    for (auto& key : keys)
        if (key.first == name)
            key.second = value;
    return keys;
}

} // namespace

TEST_F(E2E, WaitCountZeroRunsWithoutAnIcon)
{
    const Keys keys = WithKey(StandardKeys("Ethernet", "0", "0"), "WaitCount", "0");
    StartWith(keys);
    EXPECT_TRUE(ng.Answers());
    // An add comes before the capture library is loaded, which records the
    // program's later calls: the screen tells.
    EXPECT_EQ(0, LampOnScreen());
    Quit();
    EXPECT_EQ(SettingsFile(keys), ReadFileBytes(ng.settingsPath));
}

TEST_F(E2E, UnsupportedWindowsShowsItsMessageAndRemovesTheIcon)
{
    // Wine chooses the Windows version it reports per program.
    TemporaryValue nt4(HKEY_CURRENT_USER, "Software\\Wine\\AppDefaults\\NetGlow.exe", "Version", REG_SZ, "nt40", 5);
    const Keys keys = StandardKeys("Ethernet", "0", "1");
    ASSERT_TRUE(WriteWholeFile(ng.settingsPath, SettingsFile(keys)));
    ASSERT_TRUE(ng.Start());
    SeenMessageBox box;
    ASSERT_TRUE(WaitForMessageBoxOf(ng.processId, &box));
    EXPECT_EQ("This software cannot be used by Windows of this version.", box.text);
    EXPECT_EQ(static_cast<UINT>(MB_ICONINFORMATION), box.iconStyle);
    // The icon was added before the check. The capture library, which
    // records the program's calls, is never loaded: the screen tells.
    EXPECT_EQ(ICON_STOPPED, LampOnScreen());
    ASSERT_TRUE(AnswerMessageBox(box, IDOK));
    EXPECT_EQ(0, ng.WaitForExit());
    EXPECT_TRUE(WaitForLampOnScreen(0));
    EXPECT_EQ(0, Calls("pcap_"));
    EXPECT_EQ(SettingsFile(keys), ReadFileBytes(ng.settingsPath));
}

TEST_F(E2E, CloseFromTheSystemMenuWhileMonitoringStopsSavesAndExits)
{
    StartWith(StandardKeys("Ethernet", "0", "1"));
    ASSERT_TRUE(WaitForLamp(ICON_IDLE));
    // A user's Close: the system menu command, which becomes WM_CLOSE.
    PostMessageA(ng.window, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(0, ng.WaitForExit());
    EXPECT_EQ(1, Calls("pcap_breakloop"));
    EXPECT_EQ(1, Calls("pcap_close"));
    EXPECT_TRUE(WaitForLamp(0));
    EXPECT_EQ(SettingsFile(StandardKeys("Ethernet", "0", "1")), ReadFileBytes(ng.settingsPath));
}

TEST_F(E2E, MinimizedMainWindowIsNeverRestored)
{
    StartWith(StandardKeys("Ethernet", "0", "0"));
    EXPECT_TRUE(IsIconic(ng.window));
    PostMessageA(ng.window, WM_SYSCOMMAND, SC_RESTORE, 0);
    EXPECT_TRUE(ng.Answers());
    EXPECT_TRUE(IsIconic(ng.window));
    Quit();
}

TEST_F(E2E, ProgramFolderOf500CharactersIsAcceptedAnd501IsNot)
{
    // Build C:\ng\aaaa...\ folders of exactly the given length.
    for (size_t length : { 500u, 501u }) {
        SCOPED_TRACE(length);
        std::string dir = "C:\\ng-long\\";
        CreateDirectoryA(dir.c_str(), nullptr);
        while (dir.size() < length) {
            size_t room = length - dir.size() - 1; // keep one for the backslash
            dir += std::string(room > 200 ? 200 : room, 'a') + "\\";
            CreateDirectoryA(("\\\\?\\" + dir).c_str(), nullptr);
        }
        ASSERT_EQ(length, dir.size());
        if (GetFileAttributesA(("\\\\?\\" + dir).c_str()) == INVALID_FILE_ATTRIBUTES)
            GTEST_SKIP() << "this Wine cannot create a " << length << "-character folder";
        ng.folder = dir;
        ng.settingsPath = dir + "NetGlow.ini";
        const Keys keys = StandardKeys("Ethernet", "0", "0");
        ASSERT_TRUE(WriteWholeFile("\\\\?\\" + ng.settingsPath, SettingsFile(keys)));
        if (!ng.Start())
            GTEST_SKIP() << "this Wine cannot start a program from a " << length << "-character folder";
        if (length == 500) {
            ASSERT_NE(nullptr, ng.WaitForMainWindow());
            Quit();
        } else {
            ASSERT_TRUE(AnswerBox(ng.processId, "The path of a program is too long.", IDOK, MB_ICONQUESTION));
            EXPECT_EQ(0, ng.WaitForExit());
        }
        CloseHandle(ng.process);
        ng.process = nullptr;
    }
}

// Start-up runs its own calls (here the first-run Setup) before the message
// loop; commands and a close sent meanwhile must not act on its half-built
// state, and the close ends the program without marking the first run done.
TEST_F(E2E, CommandsDuringStartUpAreIgnoredAndACloseWaitsForItsEnd)
{
    const Keys keys = WithKey(StandardKeys("Ethernet", "0", "0"), "InitOpt", "-2");
    ASSERT_TRUE(WriteWholeFile(ng.settingsPath, SettingsFile(keys)));
    ASSERT_TRUE(ng.Start());
    HWND setup = WaitForWindow(ng.processId, "#32770", "Setup");
    ASSERT_NE(nullptr, setup);
    ng.window = FindProcessWindow(ng.processId, "NetGlow", nullptr, false);
    ASSERT_NE(nullptr, ng.window);
    for (int id : { CMD_MONITOR_START, CMD_LOG_START, CMD_QUIT })
        EXPECT_TRUE(ng.Command(id)) << id;
    DWORD_PTR result = 0;
    EXPECT_NE(0, SendMessageTimeoutA(ng.window, WM_CLOSE, 0, 0, SMTO_NORMAL, 30000, &result));
    EXPECT_TRUE(IsWindow(setup));
    EXPECT_TRUE(IsWindow(ng.window));
    ClickButton(setup, IDC_SETUP_CANCEL);
    ASSERT_TRUE(AnswerBox(ng.processId, "Discard Changes?", IDYES)); // the first start preselects Automatic
    EXPECT_EQ(0, ng.WaitForExit());
    EXPECT_EQ(0, Calls("pcap_create"));
    EXPECT_EQ(SettingsFile(keys), ReadFileBytes(ng.settingsPath));
    EXPECT_TRUE(WaitForLamp(0));
}

// The first-run Setup's "start now" starts monitoring before start-up has
// ended: the lamp shows idle, as after any start, not the stopped image.
TEST_F(E2E, FirstRunSetupStartingNowShowsTheIdleLamp)
{
    ASSERT_TRUE(ng.Start()); // no settings file: the first run
    HWND setup = WaitForWindow(ng.processId, "#32770", "Setup");
    ASSERT_NE(nullptr, setup);
    SendMessageA(GetDlgItem(setup, IDC_CARD_LIST), CB_SETCURSEL, 1, 0); // "Ethernet"
    SendMessageA(GetDlgItem(setup, IDC_NOW_OPT), BM_SETCHECK, BST_CHECKED, 0);
    ClickButton(setup, IDC_SETUP_OK);
    ASSERT_TRUE(AnswerBox(ng.processId, "Save Changes?", IDYES));
    ASSERT_NE(nullptr, ng.WaitForMainWindow());
    EXPECT_TRUE(WaitForCalls(std::string("pcap_activate ") + ETHERNET_DEVICE, 1));
    EXPECT_TRUE(WaitForLamp(ICON_IDLE));
    Quit();
}

// A second start for the same user (Start with Windows, then a shortcut)
// ends at once and leaves the running copy alone, which says so from its icon.
TEST_F(E2E, SecondStartEndsAtOnceAndTheRunningCopySaysSo)
{
    SetControl("log_balloons=1\r\n");
    StartWith(StandardKeys("Ethernet", "0", "1"));
    ASSERT_TRUE(WaitForCalls("pcap_dispatch", 1));
    NetGlowProcess second;
    ASSERT_TRUE(second.Start(false));
    EXPECT_EQ(0, second.WaitForExit(10000));
    EXPECT_FALSE(PathExists(second.settingsPath)) << "the second copy began a start of its own";
    EXPECT_TRUE(WaitForCalls("balloon", 1));
    // 504: the record up to the balloon's fields (64-bit).
    EXPECT_EQ(1, Calls("balloon size 504 icon 1: NetGlow is already running."));
    EXPECT_TRUE(ng.Answers());
    EXPECT_EQ(0, Calls("pcap_breakloop")) << "the running copy's capture was stopped";
    Quit();
}

// The running copy is elevated: its mutex cannot even be opened by this user.
TEST_F(E2E, StartBesideAnElevatedCopyEndsAtOnce)
{
    SECURITY_DESCRIPTOR descriptor;
    InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
    ACL empty;
    InitializeAcl(&empty, sizeof empty, ACL_REVISION);
    SetSecurityDescriptorDacl(&descriptor, TRUE, &empty, FALSE);
    SECURITY_ATTRIBUTES attributes = { sizeof attributes, &descriptor, FALSE };
    const char name[] = "Local\\NetGlow-{2F6C1E8B-94D3-4A7B-B05E-7C1D3E9A6F42}";
    HANDLE elevatedCopys = CreateMutexA(&attributes, FALSE, name);
    ASSERT_NE(nullptr, elevatedCopys);
    HANDLE probe = CreateMutexA(nullptr, FALSE, name);
    DWORD denied = GetLastError();
    if (probe != nullptr)
        CloseHandle(probe);
    ASSERT_EQ(nullptr, probe) << "this user may open a mutex whose access list grants nothing";
    ASSERT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), denied);
    ASSERT_TRUE(ng.Start());
    EXPECT_EQ(0, ng.WaitForExit(10000));
    EXPECT_FALSE(PathExists(ng.settingsPath)) << "it began a start of its own";
    CloseHandle(elevatedCopys);
}
