// The Setup dialog driven as a user drives it: clicks, keys, typed text and
// the answers to its questions; then AppState and the settings file.
#include <gtest/gtest.h>
#include <cstdio>
#include <string>
#include <vector>
#include "core/app_state.h"
#include "dialogs/dialogs_win.h"
#include "help_fake.h"
#include "monitor/capture_win.h"
#include "monitor/monitoring_win.h"
#include "res/resource.h"
#include "setup_driver.h"
#include "support/adapter_doubles.h"
#include "support/message_boxes.h"
#include "support/test_files.h"

namespace {

const char ETHERNET_DEVICE[] = "\\Device\\NPF_{6E0B1A52-1C3D-4C8B-9A11-0F2E3D4C5B6A}";
const char LAB_DEVICE[] = "\\Device\\NPF_{9F8E7D6C-5B4A-4392-8170-A1B2C3D4E5F6}";


// What the dialog showed, read from its controls.
struct Shown {
    std::vector<std::string> items;
    int selection = -2;
    bool sendRed = false, sendYellow = false, recvRed = false, recvYellow = false;
    bool startOpt = false, nowOpt = false, ipv4 = true, ipv6 = true;
    std::string timeout;
    int dialogOpen = -1;
    bool focusOnList = false;
};

bool Checked(HWND dialog, int id) { return SendDlgItemMessageA(dialog, id, BM_GETCHECK, 0, 0) == BST_CHECKED; }

Shown Read(HWND dialog)
{
    Shown s;
    HWND list = GetDlgItem(dialog, IDC_CARD_LIST);
    int count = static_cast<int>(SendMessageA(list, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        char text[600] = "";
        SendMessageA(list, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
        s.items.push_back(text);
    }
    s.selection = static_cast<int>(SendMessageA(list, CB_GETCURSEL, 0, 0));
    s.sendRed = Checked(dialog, IDC_SEND_RED);
    s.sendYellow = Checked(dialog, IDC_SEND_YELLOW);
    s.recvRed = Checked(dialog, IDC_RECV_RED);
    s.recvYellow = Checked(dialog, IDC_RECV_YELLOW);
    s.startOpt = Checked(dialog, IDC_START_OPT);
    s.nowOpt = Checked(dialog, IDC_NOW_OPT);
    s.ipv4 = Checked(dialog, IDC_IPV4);
    s.ipv6 = Checked(dialog, IDC_IPV6);
    char text[64] = "";
    GetDlgItemTextA(dialog, IDC_TIMEOUT, text, sizeof text);
    s.timeout = text;
    s.dialogOpen = app.dialogOpen;
    s.focusOnList = driver::FocusOf(dialog) == GetDlgItem(dialog, IDC_CARD_LIST);
    return s;
}

void Select(HWND dialog, int item)
{
    HWND list = GetDlgItem(dialog, IDC_CARD_LIST);
    SendMessageA(list, CB_SETCURSEL, item, 0);
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_CARD_LIST, CBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
}

void Type(HWND dialog, const char* text) { SetDlgItemTextA(dialog, IDC_TIMEOUT, text); }

// Presses a button that must bring up one message box; returns it.
SeenMessageBox ClickForBox(HWND dialog, int id)
{
    driver::Click(dialog, id);
    SeenMessageBox box;
    EXPECT_TRUE(WaitForMessageBox(&box)) << "no message box after button " << id;
    EXPECT_EQ(dialog, box.owner);
    EXPECT_EQ(1, app.messageBoxOpen.load());
    return box;
}

void ExpectBox(const SeenMessageBox& box, const char* text, UINT icon, std::vector<int> buttons)
{
    EXPECT_EQ(text, box.text);
    EXPECT_EQ("NetGlow", box.caption);
    EXPECT_EQ(icon, box.iconStyle);
    EXPECT_EQ(buttons, box.buttons);
}

// Presses a button that must end the dialog without a question.
void ClickToClose(HWND dialog, int id)
{
    driver::Click(dialog, id);
    EXPECT_TRUE(driver::WaitGone(dialog, 5000)) << "button " << id << " left the dialog open";
    EXPECT_FALSE(IsWindow(dialog));
}

class SetupDialog : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetAppState();
        folder = MakeTempFolder("setup");
        settings = folder + "NetGlow.ini";
        calls = CallsPath();
        lstrcpynA(app.settingsPath, settings.c_str(), sizeof app.settingsPath);
        lstrcpynA(app.helpPath, (folder + "NetGlow.chm").c_str(), sizeof app.helpPath);
        SetFakeCaptureDevices({ std::string("device=") + ETHERNET_DEVICE, std::string("device=") + LAB_DEVICE });
        SetTable({ { ETHERNET_DEVICE, "Ethernet", "192.168.1.10" }, { LAB_DEVICE, "Lab Network", "10.0.0.5" } });
        lstrcpynA(app.CardName, "Ethernet", sizeof app.CardName);
        app.selectedIndex = 0;
    }
    void TearDown() override
    {
        if (app.monitoring)
            StopMonitoring();
        EXPECT_EQ(0, app.messageBoxOpen.load());
    }

    struct Row { const char* device; const char* name; const char* address; };
    void SetTable(const std::vector<Row>& rows)
    {
        app.adapters.count = static_cast<int32_t>(rows.size());
        for (size_t i = 0; i < rows.size(); ++i) {
            lstrcpynA(app.adapters.deviceName[i], rows[i].device, ADAPTER_TEXT_SIZE);
            lstrcpynA(app.adapters.connectionName[i], rows[i].name, ADAPTER_TEXT_SIZE);
            lstrcpynA(app.adapters.ipv4Address[i], rows[i].address, ADAPTER_TEXT_SIZE);
        }
    }

    // The dialog as ShowSetupDialog runs it once the table is built; at the
    // first start with firstRun 1.
    bool Run(void (*script)(HWND, void*), void* arg = nullptr, LPARAM firstRun = 0)
    {
        static LPARAM dialogParam;
        dialogParam = firstRun;
        bool ran = driver::Drive("Setup", [] {
            app.dialogOpen = 1;
            DialogBoxParamA(app.instance, MAKEINTRESOURCEA(IDD_SETUP), nullptr, SetupDialogProc, dialogParam);
        }, script, arg);
        EXPECT_EQ(0, app.dialogOpen.load()) << "dialogOpen left set";
        return ran;
    }

    std::string SettingsText(const char* cardName, int cardIndex, int startOpt, int nowOpt,
                             int colorSend, int colorRecv, long timeout)
    {
        char text[1024];
        snprintf(text, sizeof text,
                 "[Option]\r\nCardName=%s\r\nCardIndex=%d\r\nInitOpt=-2\r\nStartOpt=%d\r\nNowOpt=%d\r\n"
                 "ColorSend=%d\r\nColorRecv=%d\r\nTimeoutP=%ld\r\n",
                 cardName, cardIndex, startOpt, nowOpt, colorSend, colorRecv, timeout);
        return text;
    }

    std::string folder, settings, calls;
};

const char AUTOMATIC[] = "Automatic (the connection in use)";

struct OpenCase {
    const char* what;
    int count;
    int selectedIndex;
    int colorSend, colorRecv, startOpt, nowOpt, timeout;
    std::vector<std::string> items;
    int selection;
    bool sendRed, recvRed, startChecked, nowChecked;
    const char* timeoutText;
    int cardAuto = 0;
};

TEST_F(SetupDialog, OpensWithTheStoredValues)
{
    const OpenCase cases[] = {
        { "defaults, first adapter", 2, 0, 1, 2, 0, 0, 20, { AUTOMATIC, "Ethernet", "Lab Network" }, 1, true, false, false, false, "20" },
        { "second adapter, options on", 2, 1, 2, 1, 1, 1, 0, { AUTOMATIC, "Ethernet", "Lab Network" }, 2, false, true, true, true, "0" },
        { "no adapter chosen: first adapter", 2, -1, 1, 2, 0, 0, 20, { AUTOMATIC, "Ethernet", "Lab Network" }, 1, true, false, false, false, "20" },
        { "odd values", 2, 0, 3, 0, 2, -1, -1, { AUTOMATIC, "Ethernet", "Lab Network" }, 1, false, false, false, false, "4294967295" },
        { "empty table", 0, -1, 1, 2, 0, 0, 20, { AUTOMATIC }, -1, true, false, false, false, "20" },
        { "automatic stored", 2, 1, 1, 2, 0, 0, 20, { AUTOMATIC, "Ethernet", "Lab Network" }, 0, true, false, false, false, "20", 1 },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        app.adapters.count = c.count;
        app.selectedIndex = c.selectedIndex;
        app.CardAuto = c.cardAuto;
        app.ColorSend = c.colorSend;
        app.ColorRecv = c.colorRecv;
        app.StartOpt = c.startOpt;
        app.NowOpt = c.nowOpt;
        app.TimeoutP = c.timeout;
        Shown shown;
        ASSERT_TRUE(Run([](HWND dialog, void* arg) { *static_cast<Shown*>(arg) = Read(dialog); }, &shown));
        EXPECT_EQ(c.items, shown.items);
        EXPECT_EQ(c.selection, shown.selection);
        EXPECT_EQ(c.sendRed, shown.sendRed);
        EXPECT_EQ(!c.sendRed, shown.sendYellow);
        EXPECT_EQ(c.recvRed, shown.recvRed);
        EXPECT_EQ(!c.recvRed, shown.recvYellow);
        EXPECT_EQ(c.startChecked, shown.startOpt);
        EXPECT_EQ(c.nowChecked, shown.nowOpt);
        EXPECT_FALSE(shown.ipv4);
        EXPECT_FALSE(shown.ipv6);
        EXPECT_EQ(c.timeoutText, shown.timeout);
        EXPECT_EQ(1, shown.dialogOpen);
        EXPECT_TRUE(shown.focusOnList);
    }
}

TEST_F(SetupDialog, OkWithNothingChangedStoresSavesAndStartsMonitoring)
{
    lstrcpynA(app.CardName, "Lab Network", sizeof app.CardName);
    app.selectedIndex = 1;
    app.NowOpt = 1;
    app.cardMissing = 1;
    ASSERT_TRUE(Run([](HWND dialog, void*) {
        driver::Click(dialog, IDC_SETUP_OK);
        EXPECT_TRUE(driver::WaitGone(dialog, 5000));
        EXPECT_FALSE(IsWindow(dialog)) << "OK asked a question or stayed open";
    }));
    EXPECT_EQ(1, app.selectedIndex.load());
    EXPECT_STREQ("Lab Network", app.CardName);
    EXPECT_EQ(0, app.cardMissing.load());
    EXPECT_STREQ("Lab Network", app.trayData.szTip);
    EXPECT_EQ(1, app.monitoring.load());
    EXPECT_EQ(1, CountCalls(calls, std::string("pcap_create ") + LAB_DEVICE));
    EXPECT_EQ(SettingsText("Lab Network", 1, 0, 1, 1, 2, 20), ReadFileBytes(settings));
}

TEST_F(SetupDialog, SaveChangesNoKeepsTheEditsYesStoresThem)
{
    ASSERT_TRUE(Run([](HWND dialog, void*) {
        Select(dialog, 2);
        driver::Click(dialog, IDC_SEND_YELLOW);
        driver::Click(dialog, IDC_RECV_RED);
        driver::Click(dialog, IDC_START_OPT);
        Type(dialog, "150");
        ASSERT_TRUE(driver::Settle(dialog));
        ExpectBox(ClickForBox(dialog, IDC_SETUP_OK), "Save Changes?", MB_ICONQUESTION, { IDYES, IDNO });
        SeenMessageBox box;
        ASSERT_TRUE(WaitForMessageBox(&box));
        ASSERT_TRUE(AnswerMessageBox(box, IDNO));
        ASSERT_TRUE(driver::Settle(dialog)) << "No closed the dialog";
        Shown shown = Read(dialog);
        EXPECT_EQ(2, shown.selection);
        EXPECT_TRUE(shown.sendYellow && !shown.sendRed && shown.recvRed && !shown.recvYellow && shown.startOpt);
        EXPECT_EQ("150", shown.timeout);
        EXPECT_EQ(0, app.selectedIndex.load());
        EXPECT_EQ(1, app.ColorSend.load());
        EXPECT_EQ(20, app.TimeoutP.load());

        driver::Click(dialog, IDC_SETUP_OK);
        ASSERT_TRUE(WaitForMessageBox(&box));
        EXPECT_EQ("Save Changes?", box.text);
        ASSERT_TRUE(AnswerMessageBox(box, IDYES));
        EXPECT_TRUE(driver::WaitGone(dialog));
    }));
    EXPECT_EQ(1, app.selectedIndex.load());
    EXPECT_STREQ("Lab Network", app.CardName);
    EXPECT_EQ(2, app.ColorSend.load());
    EXPECT_EQ(1, app.ColorRecv.load());
    EXPECT_EQ(1, app.StartOpt);
    EXPECT_EQ(0, app.NowOpt);
    EXPECT_EQ(150, app.TimeoutP.load());
    EXPECT_EQ(0, app.monitoring.load());
    EXPECT_FALSE(PathExists(calls)) << "monitoring started with the option off";
    EXPECT_EQ(SettingsText("Lab Network", 1, 1, 0, 2, 1, 150), ReadFileBytes(settings));
}

// Automatic needs no adapter: with an empty table it is the one choice OK takes.
TEST_F(SetupDialog, EmptyTableRefusesOkWithNothingSelectedAndTakesAutomatic)
{
    app.adapters.count = 0;
    app.selectedIndex = -1;
    app.CardName[0] = '\0';
    ASSERT_TRUE(Run([](HWND dialog, void*) {
        SeenMessageBox box = ClickForBox(dialog, IDC_SETUP_OK);
        ExpectBox(box, "The network card is not chosen.", MB_ICONINFORMATION, { IDOK });
        ASSERT_TRUE(AnswerMessageBox(box, IDOK));
        Select(dialog, 0);
        box = ClickForBox(dialog, IDC_SETUP_OK);
        ExpectBox(box, "Save Changes?", MB_ICONQUESTION, { IDYES, IDNO });
        ASSERT_TRUE(AnswerMessageBox(box, IDYES));
        EXPECT_TRUE(driver::WaitGone(dialog));
    }));
    EXPECT_EQ(-1, app.selectedIndex.load());
    EXPECT_EQ(1, app.CardAuto);
    EXPECT_EQ("[Option]\r\nCardName=\r\nCardIndex=-1\r\nInitOpt=-2\r\nStartOpt=0\r\nNowOpt=0\r\n"
              "ColorSend=1\r\nColorRecv=2\r\nTimeoutP=20\r\nCardAuto=1\r\n",
              ReadFileBytes(settings));
}

TEST_F(SetupDialog, EmptyTableCancelUntouchedAsksNothing)
{
    app.adapters.count = 0;
    app.selectedIndex = -1;
    ASSERT_TRUE(Run([](HWND dialog, void*) { ClickToClose(dialog, IDC_SETUP_CANCEL); }));
    EXPECT_FALSE(PathExists(settings));
}

TEST_F(SetupDialog, UnmatchedCardNameCountsAsAChange)
{
    app.selectedIndex = -1;
    lstrcpynA(app.CardName, "Gone", sizeof app.CardName);
    ASSERT_TRUE(Run([](HWND dialog, void*) {
        SeenMessageBox box = ClickForBox(dialog, IDC_SETUP_CANCEL);
        ExpectBox(box, "Discard Changes?", MB_ICONQUESTION, { IDYES, IDNO });
        ASSERT_TRUE(AnswerMessageBox(box, IDNO));
        ASSERT_TRUE(driver::Settle(dialog)) << "No closed the dialog";
        box = ClickForBox(dialog, IDC_SETUP_OK);
        ExpectBox(box, "Save Changes?", MB_ICONQUESTION, { IDYES, IDNO });
        ASSERT_TRUE(AnswerMessageBox(box, IDYES));
        EXPECT_TRUE(driver::WaitGone(dialog));
    }));
    EXPECT_EQ(0, app.selectedIndex.load());
    EXPECT_STREQ("Ethernet", app.CardName);
    EXPECT_EQ(SettingsText("Ethernet", 0, 0, 0, 1, 2, 20), ReadFileBytes(settings));
}

TEST_F(SetupDialog, OddStoredValuesAndTheIpCheckBoxesAreNoChange)
{
    app.ColorSend = 3;
    app.StartOpt = 2;
    ASSERT_TRUE(Run([](HWND dialog, void*) {
        driver::Click(dialog, IDC_SEND_RED);
        driver::Click(dialog, IDC_START_OPT);
        driver::Click(dialog, IDC_IPV4);
        driver::Click(dialog, IDC_IPV6);
        ASSERT_TRUE(driver::Settle(dialog));
        Shown shown = Read(dialog);
        EXPECT_TRUE(shown.sendRed && !shown.sendYellow);
        EXPECT_TRUE(shown.recvYellow) << "the other pair is a separate group";
        EXPECT_TRUE(shown.startOpt && shown.ipv4 && shown.ipv6);
        ClickToClose(dialog, IDC_SETUP_OK);
    }));
    EXPECT_EQ(1, app.ColorSend.load());
    EXPECT_EQ(2, app.ColorRecv.load());
    EXPECT_EQ(1, app.StartOpt);
    EXPECT_EQ(SettingsText("Ethernet", 0, 1, 0, 1, 2, 20), ReadFileBytes(settings));
}

TEST_F(SetupDialog, IpCheckBoxesAloneLetCancelCloseWithoutAQuestion)
{
    ASSERT_TRUE(Run([](HWND dialog, void*) {
        driver::Click(dialog, IDC_IPV4);
        ASSERT_TRUE(driver::Settle(dialog));
        ClickToClose(dialog, IDC_SETUP_CANCEL);
    }));
    EXPECT_FALSE(PathExists(settings));
}

TEST_F(SetupDialog, ZeroIsAValidTime)
{
    ASSERT_TRUE(Run([](HWND dialog, void*) {
        Type(dialog, "0");
        SeenMessageBox box = ClickForBox(dialog, IDC_SETUP_OK);
        EXPECT_EQ("Save Changes?", box.text);
        ASSERT_TRUE(AnswerMessageBox(box, IDYES));
        EXPECT_TRUE(driver::WaitGone(dialog));
    }));
    EXPECT_EQ(0, app.TimeoutP.load());
    EXPECT_EQ(SettingsText("Ethernet", 0, 0, 0, 1, 2, 0), ReadFileBytes(settings));
}

struct BadTime {
    const char* text;
};

TEST_F(SetupDialog, UnreadableTimeKeepsTheDialogAndTheTakenValues)
{
    const char* texts[] = { "", "abc", "4294967296" };
    for (const char* text : texts) {
        SCOPED_TRACE(text);
        SetUp();
        struct Arg { const char* text; } arg = { text };
        ASSERT_TRUE(Run([](HWND dialog, void* a) {
            Select(dialog, 2);
            driver::Click(dialog, IDC_NOW_OPT);
            driver::Click(dialog, IDC_RECV_RED);
            Type(dialog, static_cast<Arg*>(a)->text);
            ASSERT_TRUE(driver::Settle(dialog));
            SeenMessageBox box = ClickForBox(dialog, IDC_SETUP_OK);
            EXPECT_EQ("Save Changes?", box.text);
            ASSERT_TRUE(AnswerMessageBox(box, IDYES));
            ASSERT_TRUE(WaitForMessageBox(&box));
            ExpectBox(box, "The item of time should specify a numerical value.", MB_ICONINFORMATION, { IDOK });
            ASSERT_TRUE(AnswerMessageBox(box, IDOK));
            ASSERT_TRUE(driver::Settle(dialog)) << "the dialog closed";
            EXPECT_EQ(1, app.selectedIndex.load());
            EXPECT_EQ(1, app.ColorRecv.load());
            EXPECT_EQ(1, app.NowOpt);
            EXPECT_EQ(0, app.TimeoutP.load());
            EXPECT_EQ(1, app.monitoring.load());
            EXPECT_EQ(1, app.dialogOpen.load());

            // A second OK does not start a second capture.
            box = ClickForBox(dialog, IDC_SETUP_OK);
            EXPECT_EQ("The item of time should specify a numerical value.", box.text);
            ASSERT_TRUE(AnswerMessageBox(box, IDOK));
            ASSERT_TRUE(driver::Settle(dialog));
            // What is held now matches the controls: Cancel asks nothing.
            ClickToClose(dialog, IDC_SETUP_CANCEL);
        }, &arg));
        EXPECT_FALSE(PathExists(settings)) << "saved with an unreadable time";
        EXPECT_EQ(1, CountCalls(calls, "pcap_create "));
        StopMonitoring();
    }
}

TEST_F(SetupDialog, EscapeEnterAndF1LeaveItOpen)
{
    help->Reset();
    ASSERT_TRUE(Run([](HWND dialog, void*) {
        driver::PressKey(dialog, VK_ESCAPE);
        ASSERT_TRUE(driver::Settle(dialog)) << "Escape ended the dialog";
        driver::PressKey(dialog, VK_RETURN);
        ASSERT_TRUE(driver::Settle(dialog)) << "Enter ended the dialog";
        ASSERT_TRUE(driver::PressF1(dialog));
        // Typed keys come after posted messages: wait for the help itself.
        WaitFor([] { return help->Calls().size() >= 3; }, 5000);
        ASSERT_TRUE(driver::Settle(dialog)) << "F1 ended the dialog";
        EXPECT_TRUE(NoMessageBoxWithin(0));
        EXPECT_EQ(1, app.dialogOpen.load());
        ClickToClose(dialog, IDC_SETUP_CANCEL);
    }));
    std::vector<HelpCall> calls = help->Calls();
    ASSERT_EQ(3u, calls.size()) << "F1 did not open the help";
    EXPECT_EQ(21000u, calls[2].data);
    EXPECT_FALSE(PathExists(settings));
}

struct CloseCase {
    const char* what;
    void (*close)(HWND);
};

TEST_F(SetupDialog, CloseCommandAsksLikeCancelCloseMessageDoesNot)
{
    const CloseCase closes[] = {
        { "close box", [](HWND d) { PostMessageA(d, WM_SYSCOMMAND, SC_CLOSE, 0); } },
        { "Alt+F4", [](HWND d) {
              // Wine's drop-down list swallows Alt+F4; the user presses it elsewhere.
              PostMessageA(d, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(d, IDC_START_OPT)), TRUE);
              EXPECT_TRUE(driver::Settle(d));
              EXPECT_TRUE(driver::PressAltF4(d));
          } },
    };
    for (const auto& c : closes) {
        SCOPED_TRACE(c.what);
        SetUp();
        // Untouched: closes at once.
        ASSERT_TRUE(Run([](HWND dialog, void* close) {
            reinterpret_cast<void (*)(HWND)>(close)(dialog);
            EXPECT_TRUE(driver::WaitGone(dialog, 5000));
            EXPECT_FALSE(IsWindow(dialog));
        }, reinterpret_cast<void*>(c.close)));
        // Edited: asks, No keeps it open, Yes ends it.
        ASSERT_TRUE(Run([](HWND dialog, void* close) {
            Type(dialog, "99");
            reinterpret_cast<void (*)(HWND)>(close)(dialog);
            SeenMessageBox box;
            ASSERT_TRUE(WaitForMessageBox(&box));
            ExpectBox(box, "Discard Changes?", MB_ICONQUESTION, { IDYES, IDNO });
            ASSERT_TRUE(AnswerMessageBox(box, IDNO));
            ASSERT_TRUE(driver::Settle(dialog)) << "No closed the dialog";
            reinterpret_cast<void (*)(HWND)>(close)(dialog);
            ASSERT_TRUE(WaitForMessageBox(&box));
            ASSERT_TRUE(AnswerMessageBox(box, IDYES));
            EXPECT_TRUE(driver::WaitGone(dialog));
        }, reinterpret_cast<void*>(c.close)));
        EXPECT_EQ(20, app.TimeoutP.load());
        EXPECT_FALSE(PathExists(settings));
    }
    // The window-close message ends it without a question, edits or not.
    ASSERT_TRUE(Run([](HWND dialog, void*) {
        Type(dialog, "99");
        PostMessageA(dialog, WM_CLOSE, 0, 0);
        EXPECT_TRUE(driver::WaitGone(dialog, 5000));
    }));
    EXPECT_EQ(20, app.TimeoutP.load());
    EXPECT_FALSE(PathExists(settings));
}

TEST_F(SetupDialog, AtTheFirstStartItHasATaskbarButtonAndTheForeground)
{
    struct Seen { bool awaitForeground = false; LONG_PTR exStyle = 0; bool foreground = false; };
    for (LPARAM firstRun : { 0, 1 }) {
        SCOPED_TRACE(firstRun);
        Seen seen;
        seen.awaitForeground = firstRun == 1;
        ASSERT_TRUE(Run([](HWND dialog, void* arg) {
            Seen* out = static_cast<Seen*>(arg);
            out->exStyle = GetWindowLongPtrA(dialog, GWL_EXSTYLE);
            // Shown first, then brought to the foreground: wait for the second step.
            WaitFor([&] { return !out->awaitForeground || GetForegroundWindow() == dialog; }, 5000);
            out->foreground = GetForegroundWindow() == dialog;
            // The first start preselects Automatic, which Cancel would ask
            // about; the close message asks nothing.
            PostMessageA(dialog, WM_CLOSE, 0, 0);
            EXPECT_TRUE(driver::WaitGone(dialog, 5000));
        }, &seen, firstRun));
        EXPECT_EQ(firstRun == 1, (seen.exStyle & WS_EX_APPWINDOW) != 0);
        if (firstRun == 1) {
            EXPECT_TRUE(seen.foreground);
        }
    }
}

TEST_F(SetupDialog, ShowSetupDialogShowsNothingWhenTheTableCannotBeBuilt)
{
    SetFakeCaptureDevices({});
    static int result;
    result = 99;
    auto seen = RunAnsweringBoxes([](void*) { result = ShowSetupDialog(nullptr); }, nullptr, { IDOK });
    EXPECT_EQ(-8, result);
    ASSERT_EQ(1u, seen.size()) << "the build reports its own failure";
    EXPECT_EQ(static_cast<UINT>(MB_ICONERROR), seen[0].iconStyle);
    EXPECT_EQ(nullptr, driver::WaitForDialog("Setup", 0));
    EXPECT_EQ(0, app.dialogOpen.load());
}

} // namespace

int main(int argc, char** argv) { return RunTestsWithFakeHelp(argc, argv); }
