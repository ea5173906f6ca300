// The tray icon under Wine: the records that reach Shell_NotifyIconA, watched
// through the test program's own import of it and passed on to Wine's
// notification area.
#include <gtest/gtest.h>
#include <cstring>
#include <string>
#include <vector>
#include "core/app_state.h"
#include "res/resource.h"
#include "support/lamp_window.h"
#include "support/notify_recorder.h"
#include "support/message_boxes.h"
#include "tray/tray_icon_win.h"

namespace {

// Set by a test: the next add calls back into the tray code, as a handler of
// a message sent meanwhile would.
volatile LONG reenterDuringAdd = 0;

void ReenterDuringAdd(const NotifyCall& call, PNOTIFYICONDATAA)
{
    if (call.message == NIM_ADD && InterlockedExchange(&reenterDuringAdd, 0) == 1) {
        TrayIconRestore();
        TrayIconSetImage(ICON_IDLE);
    }
}

BOOL WINAPI ShellTakingEverything(DWORD, PNOTIFYICONDATAA) { return TRUE; }

NotifyCall Last()
{
    std::vector<NotifyCall> calls = notify::Calls();
    return calls.empty() ? NotifyCall{} : calls.back();
}

class TrayIcon : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(notify::Record(nullptr, ReenterDuringAdd)) << "Shell_NotifyIconA is not imported by the test program";
        ResetAppState();
        window = CreateLampWindow();
        ASSERT_NE(nullptr, window);
        app.mainWindow = window;
    }
    void TearDown() override
    {
        TrayIconDelete(window, TRAY_ICON_ID);
        DestroyLampWindow(window);
    }
    BOOL AddIcon(const char* tip) { return AddLampIcon(window, tip); }
    // Asked of the shell itself: it refuses to add an icon it has.
    bool ShellHasTheIcon()
    {
        NOTIFYICONDATAA record = app.trayData;
        return !notify::RealShell(NIM_ADD, &record);
    }
    HWND window = nullptr;
};

const char kLongTip[] = "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ+-*/ and more beyond 64";

} // namespace

TEST_F(TrayIcon, AddFillsTheFirstVersionRecordAndReallyAdds)
{
    ASSERT_TRUE(AddIcon("NetGlow"));
    const NotifyCall add = Last();
    EXPECT_EQ(static_cast<DWORD>(NIM_ADD), add.message);
    EXPECT_EQ(static_cast<DWORD>(NOTIFYICONDATAA_V1_SIZE), add.record.cbSize);
    EXPECT_EQ(sizeof(void*) == 8 ? 104u : 88u, add.record.cbSize);
    EXPECT_EQ(window, add.record.hWnd);
    EXPECT_EQ(static_cast<UINT>(TRAY_ICON_ID), add.record.uID);
    EXPECT_EQ(static_cast<UINT>(NIF_MESSAGE | NIF_ICON | NIF_TIP), add.record.uFlags);
    EXPECT_EQ(7u, add.record.uFlags);
    EXPECT_EQ(static_cast<UINT>(TRAY_CALLBACK_MESSAGE), add.record.uCallbackMessage);
    EXPECT_EQ(ICON_STOPPED, LampShown(add.record.hIcon));
    EXPECT_STREQ("NetGlow", add.record.szTip);
    EXPECT_TRUE(ShellHasTheIcon());
    // Added again: the shell refuses, and a modify finds the icon there.
    notify::Clear();
    EXPECT_TRUE(TrayIconAdd(window, TRAY_ICON_ID, TRAY_CALLBACK_MESSAGE, LampIcon(ICON_STOPPED), "NetGlow"));
    std::vector<NotifyCall> again = notify::Calls();
    ASSERT_EQ(2u, again.size());
    EXPECT_EQ(static_cast<DWORD>(NIM_ADD), again[0].message);
    EXPECT_EQ(static_cast<DWORD>(NIM_MODIFY), again[1].message);
    EXPECT_EQ(0, std::memcmp(&again[0].record, &again[1].record, NOTIFYICONDATAA_V1_SIZE));
}

TEST_F(TrayIcon, AddWithoutTipHasNoTipFlag)
{
    ASSERT_TRUE(AddIcon(nullptr));
    EXPECT_EQ(3u, Last().record.uFlags);
    EXPECT_EQ(3u, app.trayData.uFlags);
    TrayIconSetImage(ICON_IDLE);
    EXPECT_EQ(static_cast<DWORD>(NIM_MODIFY), Last().message);
    EXPECT_EQ(3u, Last().record.uFlags);
    EXPECT_EQ(ICON_IDLE, LampShown(Last().record.hIcon));
}

TEST_F(TrayIcon, TipIsCutTo63Characters)
{
    ASSERT_TRUE(AddIcon(kLongTip));
    EXPECT_EQ(std::string(kLongTip, 63), app.trayData.szTip);
    EXPECT_EQ(std::string(kLongTip, 63), Last().record.szTip);

    TrayIconSetTip("short");
    EXPECT_STREQ("short", Last().record.szTip);
    TrayIconSetTip(kLongTip);
    EXPECT_EQ(static_cast<DWORD>(NIM_MODIFY), Last().message);
    EXPECT_EQ(std::string(kLongTip, 63), Last().record.szTip);
    EXPECT_EQ(std::string(kLongTip, 63), app.trayData.szTip);

    std::string exactly63(kLongTip, 63);
    TrayIconSetTip(exactly63.c_str());
    EXPECT_EQ(exactly63, Last().record.szTip);
    std::string exactly64(kLongTip, 64);
    TrayIconSetTip(exactly64.c_str());
    EXPECT_EQ(exactly63, Last().record.szTip);
}

// On a double-byte system (Japanese, 932) a tip that does not fit ends
// before the character that would be cut, at the add and at every later
// tip: the rule of the rates tip.
TEST_F(TrayIcon, JapaneseTipIsCutBetweenCharacters)
{
    if (GetACP() != 932)
        GTEST_SKIP() << "needs a Japanese system (code page " << GetACP() << "): run as wine.tray_icon_japanese";
    // 62 letters, then "\x83\x41\x83\x43" (two katakana): the first would
    // take bytes 62 and 63, but the tip holds 63 and its terminator.
    const std::string name = std::string(62, 'n') + "\x83\x41\x83\x43";
    ASSERT_TRUE(AddIcon(name.c_str()));
    EXPECT_EQ(std::string(62, 'n'), Last().record.szTip);
    TrayIconSetTip("short");
    TrayIconSetTip(name.c_str());
    EXPECT_EQ(std::string(62, 'n'), Last().record.szTip);
    EXPECT_EQ(std::string(62, 'n'), app.trayData.szTip);
    // One letter less: the first katakana fits whole.
    TrayIconSetTip(name.c_str() + 1);
    EXPECT_EQ(std::string(61, 'n') + "\x83\x41", Last().record.szTip);
}

TEST_F(TrayIcon, SetTipWithoutTextResendsTheRecordUnchanged)
{
    ASSERT_TRUE(AddIcon(nullptr));
    TrayIconSetImage(ICON_RED);
    TrayIconSetTip("Local Area Connection");
    NOTIFYICONDATAA before = app.trayData;
    notify::Clear();
    TrayIconSetTip(nullptr);
    ASSERT_EQ(1u, notify::Calls().size());
    const NotifyCall resent = Last();
    EXPECT_EQ(static_cast<DWORD>(NIM_MODIFY), resent.message);
    EXPECT_EQ(0, std::memcmp(&before, &resent.record, NOTIFYICONDATAA_V1_SIZE));
    EXPECT_EQ(0, std::memcmp(&before, &app.trayData, sizeof before));
    EXPECT_STREQ("Local Area Connection", Last().record.szTip);
    EXPECT_EQ(7u, Last().record.uFlags);
}

TEST_F(TrayIcon, SetTipAddsTheTipFlag)
{
    ASSERT_TRUE(AddIcon(nullptr));
    TrayIconSetTip(nullptr);
    EXPECT_EQ(3u, Last().record.uFlags);
    TrayIconSetTip("NetGlow");
    EXPECT_EQ(7u, Last().record.uFlags);
    EXPECT_STREQ("NetGlow", Last().record.szTip);
}

TEST_F(TrayIcon, ImageChangeKeepsTheTip)
{
    ASSERT_TRUE(AddIcon(nullptr));
    TrayIconSetTip("Ethernet 2");
    for (UINT id : { ICON_IDLE, ICON_RED, ICON_YELLOW, ICON_STOPPED }) {
        TrayIconSetImage(id);
        const NotifyCall modify = Last();
        EXPECT_EQ(static_cast<DWORD>(NIM_MODIFY), modify.message);
        EXPECT_EQ(7u, modify.record.uFlags);
        EXPECT_STREQ("Ethernet 2", modify.record.szTip);
        EXPECT_EQ(static_cast<int>(id), LampShown(modify.record.hIcon));
        EXPECT_EQ(static_cast<int>(id), LampShown(app.trayData.hIcon));
        EXPECT_NE(nullptr, modify.record.hIcon);
    }
    // Only the low 16 bits of the id name the resource.
    TrayIconSetImage(0x10000u | ICON_RED);
    EXPECT_EQ(ICON_RED, LampShown(Last().record.hIcon));
}

TEST_F(TrayIcon, DeleteClearsTheFlagAndLeavesTheRecord)
{
    ASSERT_TRUE(AddIcon("NetGlow"));
    TrayIconSetImage(ICON_YELLOW);
    app.trayIconAdded = 1;
    NOTIFYICONDATAA before = app.trayData;
    TrayIconDelete(window, TRAY_ICON_ID);
    EXPECT_EQ(0, app.trayIconAdded.load());
    const NotifyCall removal = Last();
    EXPECT_EQ(static_cast<DWORD>(NIM_DELETE), removal.message);
    EXPECT_EQ(static_cast<DWORD>(NOTIFYICONDATAA_V1_SIZE), removal.record.cbSize);
    EXPECT_EQ(window, removal.record.hWnd);
    EXPECT_EQ(static_cast<UINT>(TRAY_ICON_ID), removal.record.uID);
    EXPECT_EQ(0u, removal.record.uFlags);
    EXPECT_EQ(nullptr, removal.record.hIcon);
    EXPECT_EQ(0, std::memcmp(&before, &app.trayData, sizeof before));

    // The shell has no such icon any more: still cleared, nothing else happens.
    app.trayIconAdded = 1;
    TrayIconDelete(window, TRAY_ICON_ID);
    EXPECT_EQ(0, app.trayIconAdded.load());
    // A modify after the delete is refused by the shell and ignored.
    TrayIconSetImage(ICON_RED);
    EXPECT_EQ(ICON_RED, LampShown(app.trayData.hIcon));
}

TEST_F(TrayIcon, RestoreAddsTheIconAgainWithItsImageAndTip)
{
    ASSERT_TRUE(AddIcon("NetGlow"));
    app.trayIconAdded = 1; // the registration step has ended
    TrayIconSetImage(ICON_IDLE);
    TrayIconSetTip("Wi-Fi");
    // Explorer forgot the icon (here: removed behind the program's back).
    NOTIFYICONDATAA gone;
    ZeroMemory(&gone, sizeof gone);
    gone.cbSize = NOTIFYICONDATAA_V1_SIZE;
    gone.hWnd = window;
    gone.uID = TRAY_ICON_ID;
    ASSERT_TRUE(notify::RealShell(NIM_DELETE, &gone));
    notify::Clear();
    TrayIconRestore();
    ASSERT_EQ(1u, notify::Calls().size());
    const NotifyCall add = Last();
    EXPECT_EQ(static_cast<DWORD>(NIM_ADD), add.message);
    EXPECT_EQ(ICON_IDLE, LampShown(add.record.hIcon));
    EXPECT_STREQ("Wi-Fi", add.record.szTip);
    EXPECT_EQ(7u, add.record.uFlags);
    EXPECT_TRUE(ShellHasTheIcon());
}

TEST_F(TrayIcon, RestoreBeforeAnyAddSendsNothing)
{
    TrayIconRestore();
    EXPECT_EQ(0u, notify::Calls().size());
}

TEST_F(TrayIcon, RestoreAfterTheProgramRemovedItsIconSendsNothing)
{
    ASSERT_TRUE(AddIcon("NetGlow"));
    app.trayIconAdded = 1;
    TrayIconDelete(window, TRAY_ICON_ID); // on the way out
    notify::Clear();
    TrayIconRestore(); // a shell restart announced late
    EXPECT_EQ(0u, notify::Calls().size());
}

// A message sent to the main window while the shell is busy with the add
// ("TaskbarCreated" at logon, a click, a command) runs its handler inside the
// call, on the same thread: that handler's own icon calls must go through.
TEST_F(TrayIcon, CallsMadeWhileTheShellHandlesTheAddDoNotHang)
{
    ASSERT_TRUE(notify::Record(ShellTakingEverything, ReenterDuringAdd));
    reenterDuringAdd = 1;
    app.trayIconAdded = 1; // so that the restore really sends
    HANDLE thread = StartCallThread([](void* window) {
        TrayIconAdd(static_cast<HWND>(window), TRAY_ICON_ID, TRAY_CALLBACK_MESSAGE, LampIcon(ICON_STOPPED), "NetGlow");
    }, window);
    ASSERT_NE(nullptr, thread);
    DWORD waited = WaitForSingleObject(thread, 10000);
    reenterDuringAdd = 0;
    ASSERT_EQ(WAIT_OBJECT_0, waited) << "the thread adding the icon hung";
    CloseHandle(thread);
    std::vector<NotifyCall> delivered = notify::Calls();
    ASSERT_EQ(3u, delivered.size());
    // The add, then the restore and the image change made inside it; the
    // outer add still delivered the record it was given.
    EXPECT_EQ(static_cast<DWORD>(NIM_ADD), delivered[0].message);
    EXPECT_EQ(ICON_STOPPED, LampShown(delivered[0].record.hIcon));
    EXPECT_EQ(static_cast<DWORD>(NIM_ADD), delivered[1].message);
    EXPECT_EQ(static_cast<DWORD>(NIM_MODIFY), delivered[2].message);
    EXPECT_EQ(ICON_IDLE, LampShown(delivered[2].record.hIcon));
}
