// The tray icon under Wine: the records that reach Shell_NotifyIconA, watched
// through the test program's own import of it and passed on to Wine's
// notification area.
#include <gtest/gtest.h>
#include <cstring>
#include <string>
#include <vector>
#include "core/app_state.h"
#include "res/resource.h"
#include "support/import_patch.h"
#include "support/lamp_window.h"
#include "support/message_boxes.h"
#include "tray/tray_icon_win.h"

namespace {

typedef BOOL(WINAPI* NotifyFn)(DWORD, PNOTIFYICONDATAA);
NotifyFn realNotify = nullptr;

struct Delivered {
    DWORD message;
    NOTIFYICONDATAA record;
    DWORD thread;
};

// Filled by the hook from any thread; read by the test once those are done.
const LONG RECORD_LIMIT = 1000;
Delivered delivered[RECORD_LIMIT];
volatile LONG deliveredCount = 0;
volatile LONG forwardToShell = 1;
// Set by a test: the next add calls back into the tray code, as a handler of
// a message sent meanwhile would.
volatile LONG reenterDuringAdd = 0;

BOOL WINAPI RecordingNotify(DWORD message, PNOTIFYICONDATAA data)
{
    DWORD self = GetCurrentThreadId();
    LONG slot = InterlockedIncrement(&deliveredCount) - 1;
    if (slot < RECORD_LIMIT) {
        delivered[slot].message = message;
        std::memset(&delivered[slot].record, 0, sizeof delivered[slot].record);
        std::memcpy(&delivered[slot].record, data, NOTIFYICONDATAA_V1_SIZE);
        delivered[slot].thread = self;
    }
    if (message == NIM_ADD && InterlockedExchange(&reenterDuringAdd, 0) == 1) {
        TrayIconRestore();
        TrayIconSetImage(ICON_IDLE);
    }
    return forwardToShell ? realNotify(message, data) : TRUE;
}

const Delivered& Last()
{
    return delivered[deliveredCount - 1];
}

class TrayIcon : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        realNotify = reinterpret_cast<NotifyFn>(PatchImport("Shell_NotifyIconA", reinterpret_cast<void*>(RecordingNotify)));
    }
    void SetUp() override
    {
        ASSERT_NE(nullptr, realNotify) << "Shell_NotifyIconA is not imported by the test program";
        ResetAppState();
        window = CreateLampWindow();
        ASSERT_NE(nullptr, window);
        app.mainWindow = window;
        deliveredCount = 0;
        forwardToShell = 1;
    }
    void TearDown() override
    {
        TrayIconDelete(window, TRAY_ICON_ID);
        DestroyLampWindow(window);
    }
    // Wine's notification area may still be starting: offer the icon a few times.
    BOOL AddIcon(const char* tip)
    {
        BOOL added = FALSE;
        for (int attempt = 0; attempt < 100 && !added; ++attempt) {
            added = TrayIconAdd(window, TRAY_ICON_ID, TRAY_CALLBACK_MESSAGE, LampIcon(ICON_STOPPED), tip);
            if (!added)
                PumpMessagesFor(100);
        }
        return added;
    }
    // Asked of the shell itself: it refuses to add an icon it has.
    bool ShellHasTheIcon()
    {
        NOTIFYICONDATAA record = app.trayData;
        return !realNotify(NIM_ADD, &record);
    }
    HWND window = nullptr;
};

const char kLongTip[] = "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ+-*/ and more beyond 64";

} // namespace

TEST_F(TrayIcon, AddFillsTheFirstVersionRecordAndReallyAdds)
{
    ASSERT_TRUE(AddIcon("NetGlow"));
    const Delivered& add = Last();
    EXPECT_EQ(static_cast<DWORD>(NIM_ADD), add.message);
    EXPECT_EQ(static_cast<DWORD>(NOTIFYICONDATAA_V1_SIZE), add.record.cbSize);
    EXPECT_EQ(sizeof(void*) == 8 ? 104u : 88u, add.record.cbSize);
    EXPECT_EQ(window, add.record.hWnd);
    EXPECT_EQ(static_cast<UINT>(TRAY_ICON_ID), add.record.uID);
    EXPECT_EQ(static_cast<UINT>(NIF_MESSAGE | NIF_ICON | NIF_TIP), add.record.uFlags);
    EXPECT_EQ(7u, add.record.uFlags);
    EXPECT_EQ(static_cast<UINT>(TRAY_CALLBACK_MESSAGE), add.record.uCallbackMessage);
    EXPECT_EQ(LampIcon(ICON_STOPPED), add.record.hIcon);
    EXPECT_STREQ("NetGlow", add.record.szTip);
    EXPECT_TRUE(ShellHasTheIcon());
    // Added again: the shell refuses, and a modify finds the icon there.
    LONG sent = deliveredCount;
    EXPECT_TRUE(TrayIconAdd(window, TRAY_ICON_ID, TRAY_CALLBACK_MESSAGE, LampIcon(ICON_STOPPED), "NetGlow"));
    ASSERT_EQ(sent + 2, deliveredCount);
    EXPECT_EQ(static_cast<DWORD>(NIM_ADD), delivered[sent].message);
    EXPECT_EQ(static_cast<DWORD>(NIM_MODIFY), delivered[sent + 1].message);
    EXPECT_EQ(0, std::memcmp(&delivered[sent].record, &delivered[sent + 1].record, NOTIFYICONDATAA_V1_SIZE));
}

TEST_F(TrayIcon, AddWithoutTipHasNoTipFlag)
{
    ASSERT_TRUE(AddIcon(nullptr));
    EXPECT_EQ(3u, Last().record.uFlags);
    EXPECT_EQ(3u, app.trayData.uFlags);
    TrayIconSetImage(ICON_IDLE);
    EXPECT_EQ(static_cast<DWORD>(NIM_MODIFY), Last().message);
    EXPECT_EQ(3u, Last().record.uFlags);
    EXPECT_EQ(LampIcon(ICON_IDLE), Last().record.hIcon);
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
    LONG sent = deliveredCount;
    TrayIconSetTip(nullptr);
    ASSERT_EQ(sent + 1, deliveredCount);
    EXPECT_EQ(static_cast<DWORD>(NIM_MODIFY), Last().message);
    EXPECT_EQ(0, std::memcmp(&before, &Last().record, NOTIFYICONDATAA_V1_SIZE));
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
        const Delivered& modify = Last();
        EXPECT_EQ(static_cast<DWORD>(NIM_MODIFY), modify.message);
        EXPECT_EQ(7u, modify.record.uFlags);
        EXPECT_STREQ("Ethernet 2", modify.record.szTip);
        EXPECT_EQ(LampIcon(id), modify.record.hIcon);
        EXPECT_EQ(LampIcon(id), app.trayData.hIcon);
        EXPECT_NE(nullptr, modify.record.hIcon);
    }
    // Only the low 16 bits of the id name the resource.
    TrayIconSetImage(0x10000u | ICON_RED);
    EXPECT_EQ(LampIcon(ICON_RED), Last().record.hIcon);
}

TEST_F(TrayIcon, DeleteClearsTheFlagAndLeavesTheRecord)
{
    ASSERT_TRUE(AddIcon("NetGlow"));
    TrayIconSetImage(ICON_YELLOW);
    app.trayIconAdded = 1;
    NOTIFYICONDATAA before = app.trayData;
    TrayIconDelete(window, TRAY_ICON_ID);
    EXPECT_EQ(0, app.trayIconAdded.load());
    const Delivered& removal = Last();
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
    EXPECT_EQ(LampIcon(ICON_RED), app.trayData.hIcon);
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
    ASSERT_TRUE(Shell_NotifyIconA(NIM_DELETE, &gone));
    LONG sent = deliveredCount;
    TrayIconRestore();
    ASSERT_EQ(sent + 1, deliveredCount);
    const Delivered& add = Last();
    EXPECT_EQ(static_cast<DWORD>(NIM_ADD), add.message);
    EXPECT_EQ(LampIcon(ICON_IDLE), add.record.hIcon);
    EXPECT_STREQ("Wi-Fi", add.record.szTip);
    EXPECT_EQ(7u, add.record.uFlags);
    EXPECT_TRUE(ShellHasTheIcon());
}

TEST_F(TrayIcon, RestoreBeforeAnyAddSendsNothing)
{
    LONG sent = deliveredCount;
    TrayIconRestore();
    EXPECT_EQ(sent, deliveredCount);
}

TEST_F(TrayIcon, RestoreAfterTheProgramRemovedItsIconSendsNothing)
{
    ASSERT_TRUE(AddIcon("NetGlow"));
    app.trayIconAdded = 1;
    TrayIconDelete(window, TRAY_ICON_ID); // on the way out
    LONG sent = deliveredCount;
    TrayIconRestore(); // a shell restart announced late
    EXPECT_EQ(sent, deliveredCount);
}

namespace {
DWORD WINAPI AddWhileTheShellCallsBack(LPVOID param)
{
    HWND window = static_cast<HWND>(param);
    TrayIconAdd(window, TRAY_ICON_ID, TRAY_CALLBACK_MESSAGE, LampIcon(ICON_STOPPED), "NetGlow");
    return 0;
}
} // namespace

// A message sent to the main window while the shell is busy with the add
// ("TaskbarCreated" at logon, a click, a command) runs its handler inside the
// call, on the same thread: that handler's own icon calls must go through.
TEST_F(TrayIcon, CallsMadeWhileTheShellHandlesTheAddDoNotHang)
{
    forwardToShell = 0;
    reenterDuringAdd = 1;
    app.trayIconAdded = 1; // so that the restore really sends
    HANDLE thread = CreateThread(nullptr, 0, AddWhileTheShellCallsBack, window, 0, nullptr);
    ASSERT_NE(nullptr, thread);
    DWORD waited = WaitForSingleObject(thread, 10000);
    reenterDuringAdd = 0;
    ASSERT_EQ(WAIT_OBJECT_0, waited) << "the thread adding the icon hung";
    CloseHandle(thread);
    ASSERT_EQ(3, deliveredCount);
    // The add, then the restore and the image change made inside it; the
    // outer add still delivered the record it was given.
    EXPECT_EQ(static_cast<DWORD>(NIM_ADD), delivered[0].message);
    EXPECT_EQ(LampIcon(ICON_STOPPED), delivered[0].record.hIcon);
    EXPECT_EQ(static_cast<DWORD>(NIM_ADD), delivered[1].message);
    EXPECT_EQ(static_cast<DWORD>(NIM_MODIFY), delivered[2].message);
    EXPECT_EQ(LampIcon(ICON_IDLE), delivered[2].record.hIcon);
    forwardToShell = 1;
}
