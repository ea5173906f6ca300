// The lamp under Wine: a real window, its timer and message loop, with the
// icon in Wine's notification area. The lamp is watched through
// app.trayData.hIcon, the handle TrayIconSetImage stored last, and through
// the records the program hands to Shell_NotifyIconA.
#include <gtest/gtest.h>
#include <cstdio>
#include <memory>
#include <vector>
#include "app/tray_commands_win.h"
#include "core/app_state.h"
#include "monitor/lamp_win.h"
#include "res/resource.h"
#include "support/lamp_window.h"
#include "support/notify_recorder.h"
#include "support/message_boxes.h"
#include "support/registry_seed.h"
#include "support/system_stand_ins.h"
#include "tray/tray_icon_win.h"

using namespace frames;

namespace {

double NowMs() { return static_cast<double>(LampClockMs()); }

// Every WM_TIMER handed to the lamp, and each time the lamp went idle.
struct TimerLog {
    int lampTimers = 0;
    int otherTimers = 0;
    std::vector<double> idleAt;
};
TimerLog timerLog;

void RecordTimer(WPARAM timerId, HICON before)
{
    ++(timerId == LAMP_TIMER_ID ? timerLog.lampTimers : timerLog.otherTimers);
    if (LampShown(app.trayData.hIcon) == ICON_IDLE && before != app.trayData.hIcon)
        timerLog.idleAt.push_back(NowMs());
}

// Image changes that reached the shell.
size_t ImageChanges()
{
    size_t changes = 0;
    for (DWORD message : notify::Messages())
        changes += message == NIM_MODIFY;
    return changes;
}

bool LampIsIdle(void*) { return LampShown(app.trayData.hIcon) == ICON_IDLE; }
bool LampIs(void* icon) { return LampShown(app.trayData.hIcon) == static_cast<int>(reinterpret_cast<UINT_PTR>(icon)); }
void* Icon(UINT id) { return reinterpret_cast<void*>(static_cast<UINT_PTR>(id)); }

const char* const kAdapter = "192.168.1.10";
Frame Received() { return Ipv4(6, Dotted("203.0.113.7"), Dotted(kAdapter), Ports(443, 51000)); }
Frame Sent() { return Ipv4(6, Dotted(kAdapter), Dotted("203.0.113.7"), Ports(51000, 443)); }
const uint32_t kSeconds = 1420070405;

class Lamp : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(notify::Record());
        window = StartRunWindow(kAdapter);
        ASSERT_NE(nullptr, window);
        app.TimeoutP = 20;
        ASSERT_TRUE(AddLampIcon(window, "NetGlow")) << "Wine's notification area did not take the icon";
        LampStart(); // monitoring on, lamp dark
        timerLog = TimerLog();
        afterLampTimer = RecordTimer;
    }
    void TearDown() override
    {
        afterLampTimer = nullptr;
        LampStop(window);
        TrayIconDelete(window, TRAY_ICON_ID);
        DestroyLampWindow(window);
    }
    HWND window = nullptr;
};

} // namespace

TEST_F(Lamp, OnePacketLightsTheLampThenIdleAfterTimeoutP)
{
    double sentAt = NowMs();
    DeliverFrame(Received(), kSeconds);
    EXPECT_EQ(ICON_YELLOW, LampShown(app.trayData.hIcon));
    EXPECT_TRUE(LampTimerRunning());

    ASSERT_TRUE(PumpUntil(LampIsIdle, nullptr, 2000));
    EXPECT_FALSE(LampTimerRunning());
    ASSERT_EQ(1u, timerLog.idleAt.size());
    double after = timerLog.idleAt[0] - sentAt;
    EXPECT_GE(after, 20.0) << "idle too early";
    EXPECT_LT(after, 1000.0) << "idle far too late";
    std::printf("one packet, TimeoutP 20: idle after %.1f ms\n", after);

    // A lamp that went out wakes nothing: the system holds no lamp timer.
    EXPECT_FALSE(KillTimer(window, LAMP_TIMER_ID));
}

TEST_F(Lamp, CaptureThreadNeverTouchesTheShellOrTheTimer)
{
    size_t before = ImageChanges();
    HANDLE thread = StartCallThread([](void*) { DeliverFrame(Sent(), kSeconds); }, nullptr);
    ASSERT_NE(nullptr, thread);
    // No message is handled meanwhile: the read only posted its news.
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, 10000));
    CloseHandle(thread);
    EXPECT_EQ(before, ImageChanges());
    EXPECT_EQ(ICON_IDLE, LampShown(app.trayData.hIcon));
    EXPECT_FALSE(LampTimerRunning());
    ASSERT_TRUE(PumpUntil(LampIs, Icon(ICON_RED), 2000));
    ASSERT_TRUE(PumpUntil(LampIsIdle, nullptr, 2000));
    EXPECT_EQ(0, timerLog.otherTimers);
}

TEST_F(Lamp, ExpiryQueuedBeforeANewerFrameKeepsItsColourTheFullLampTime)
{
    app.TimeoutP = 300;
    double sentAt = NowMs();
    DeliverFrame(Sent(), kSeconds);
    // An expiry of the earlier arming that was already waiting in the queue.
    PostMessageA(window, WM_TIMER, LAMP_TIMER_ID, 0);
    PumpPending();
    ASSERT_GE(timerLog.lampTimers, 1);
    EXPECT_EQ(ICON_RED, LampShown(app.trayData.hIcon)) << "a stale expiry put the lamp out";
    ASSERT_TRUE(PumpUntil(LampIsIdle, nullptr, 3000));
    ASSERT_EQ(1u, timerLog.idleAt.size());
    EXPECT_GE(timerLog.idleAt[0] - sentAt, 300.0);
}

TEST_F(Lamp, FramesTenMillisecondsApartKeepItLitUntilTimeoutPAfterTheLast)
{
    // One thread delivers and handles the messages in between, so every
    // look of the lamp falls between two known deliveries. It may go out
    // only where a gap really reached TimeoutP (a loaded machine makes some).
    std::vector<double> deliveredAt;
    for (int i = 0; i < 30; ++i) {
        // Taken before the delivery: the lamp's own time of the frame is
        // no earlier, so a late clock reading cannot make a lamp that kept
        // its time look early on a loaded machine.
        deliveredAt.push_back(NowMs());
        DeliverFrame(i % 3 == 0 ? Sent() : Received(), kSeconds);
        double next = deliveredAt.back() + 10;
        while (NowMs() < next)
            PumpMessagesFor(1);
    }
    ASSERT_TRUE(PumpUntil(LampIsIdle, nullptr, 2000));
    ASSERT_FALSE(timerLog.idleAt.empty());
    for (double idle : timerLog.idleAt) {
        double lastBefore = 0;
        for (double at : deliveredAt)
            if (at <= idle)
                lastBefore = at;
        EXPECT_GE(idle - lastBefore, 19.0) << "the lamp went out early";
    }
    EXPECT_GE(timerLog.idleAt.back() - deliveredAt.back(), 19.0);
}

TEST_F(Lamp, AlternatingFramesChangeTheImageAtMostOncePerRead)
{
    std::vector<Frame> read;
    for (int i = 0; i < 100; ++i)
        read.push_back(i % 2 ? Sent() : Received());
    size_t before = ImageChanges();
    DeliverRead(read, kSeconds);
    EXPECT_EQ(before + 1, ImageChanges());
    EXPECT_EQ(ICON_RED, LampShown(app.trayData.hIcon)); // the read's last frame
}

TEST_F(Lamp, LatestFrameChoosesTheColour)
{
    app.TimeoutP = 2000;
    DeliverFrame(Received(), kSeconds);
    EXPECT_EQ(ICON_YELLOW, LampShown(app.trayData.hIcon));
    // A change of colour while lit waits for half a lamp time at most.
    DeliverFrame(Sent(), kSeconds);
    ASSERT_TRUE(PumpUntil(LampIs, Icon(ICON_RED), 3000));
    app.ColorSend = 2;
    app.ColorRecv = 1;
    DeliverFrame(Sent(), kSeconds);
    ASSERT_TRUE(PumpUntil(LampIs, Icon(ICON_YELLOW), 3000));
    DeliverFrame(Received(), kSeconds);
    ASSERT_TRUE(PumpUntil(LampIs, Icon(ICON_RED), 3000));
}

TEST_F(Lamp, TimeoutZeroKeepsThePacketsColour)
{
    app.TimeoutP = 0;
    DeliverFrame(Sent(), kSeconds);
    EXPECT_EQ(ICON_RED, LampShown(app.trayData.hIcon));
    EXPECT_FALSE(LampTimerRunning());
    DeliverFrame(Received(), kSeconds);
    EXPECT_EQ(ICON_YELLOW, LampShown(app.trayData.hIcon));
    EXPECT_FALSE(KillTimer(window, LAMP_TIMER_ID)) << "a lamp timer was set";
    PumpPending();
    EXPECT_EQ(ICON_YELLOW, LampShown(app.trayData.hIcon));
    EXPECT_EQ(0, timerLog.lampTimers);
    EXPECT_TRUE(timerLog.idleAt.empty());
}

TEST_F(Lamp, StopLeavesTheStoppedLampAlone)
{
    DeliverFrame(Received(), kSeconds);
    EXPECT_TRUE(LampTimerRunning());
    // Expiries and news of a read already queued when the stop came.
    PostMessageA(window, WM_TIMER, LAMP_TIMER_ID, 0);
    PostMessageA(window, WM_LAMP_ACTIVITY, 0, 0);
    LampStop(window);
    EXPECT_FALSE(LampTimerRunning());
    EXPECT_EQ(ICON_STOPPED, LampShown(app.trayData.hIcon));
    EXPECT_FALSE(KillTimer(window, LAMP_TIMER_ID)) << "the lamp timer still runs";
    PumpPending();
    EXPECT_EQ(ICON_STOPPED, LampShown(app.trayData.hIcon));
    EXPECT_TRUE(timerLog.idleAt.empty());
}

TEST_F(Lamp, TimerMessageWithAnotherIdChangesNothing)
{
    app.TimeoutP = 0;
    DeliverFrame(Received(), kSeconds);
    SendMessageA(window, WM_TIMER, LAMP_TIMER_ID + 1, 0);
    SendMessageA(window, WM_TIMER, 0, 0);
    SendMessageA(window, WM_TIMER, LAMP_TIMER_ID, 0); // and an expiry with no timer set
    EXPECT_EQ(ICON_YELLOW, LampShown(app.trayData.hIcon));
    EXPECT_EQ(0, OnLampTimer(window, 1, 0));
    EXPECT_EQ(ICON_YELLOW, LampShown(app.trayData.hIcon));
}

namespace {

std::vector<int> ImagesSent()
{
    std::vector<int> images;
    for (const NotifyCall& call : notify::Calls())
        if (call.message == NIM_MODIFY && (call.record.uFlags & NIF_ICON))
            images.push_back(ImageShown(call.record.hIcon));
    return images;
}

} // namespace

// The images the shell is sent as the user's colours change: one per real
// change however often it is announced, the lamp's state kept.
TEST_F(Lamp, FollowsTheTaskbarHighContrastAndTheArrows)
{
    std::string folder = MakeTempFolder("lamplook");
    std::string settings = folder + "NetGlow.ini";
    lstrcpynA(app.settingsPath, settings.c_str(), sizeof app.settingsPath);
    // The taskbar's mode: light (1), dark (0) or no value (-1).
    auto taskbar = [](int light) {
        const DWORD value = static_cast<DWORD>(light);
        return std::make_unique<TemporaryValue>(HKEY_CURRENT_USER, PERSONALIZE_KEY, "SystemUsesLightTheme", REG_DWORD,
                                                light < 0 ? nullptr : &value, sizeof value);
    };
    auto keep = taskbar(1);
    TrayIconFollowLook();
    app.TimeoutP = 0; // a colour stays until the next frame

    const struct {
        const char* what;
        int taskbarLight;        // -1 no value
        const ContrastScheme* contrast; // high contrast stood in for; null: off
        int arrowsChosen;        // "Arrows in the lamp" chosen this often
        int announcements;       // WM_SETTINGCHANGE "ImmersiveColorSet"
        bool colourChange;       // WM_SYSCOLORCHANGE
        char frame;              // 'S' sent, 'R' received, 0 none
        std::vector<int> images; // sent to the shell
        const char* ini;         // the settings file afterwards, null: not looked at
        bool stop = false;       // then Monitor stop
    } phases[] = {
        { "a light taskbar announced again: nothing to send", 1, nullptr, 0, 3, false, 0, {}, "<missing>" },
        { "a sent frame: red, black outline", 1, nullptr, 0, 0, false, 'S', { ICON_RED }, nullptr },
        { "the taskbar turns dark, announced three times: sent once, still red", 0, nullptr, 0, 3, false, 0,
          { ICON_DARK_RED }, nullptr },
        { "a received frame: yellow, light outline", 0, nullptr, 0, 0, false, 'R', { ICON_DARK_YELLOW }, nullptr },
        { "Arrows in the lamp: the yellow arrow down, kept at once", 0, nullptr, 1, 0, false, 0,
          { ICON_DARK_SHAPE_RECV_YELLOW }, "[Option]\r\nLampShapes=1\r\n" },
        { "a sent frame: the red arrow up", 0, nullptr, 0, 1, false, 'S', { ICON_DARK_SHAPE_SENT_RED }, nullptr },
        { "high contrast, light window colour: the dark arrow up", 0, &HIGH_CONTRAST_WHITE, 0, 0, true, 0,
          { ICON_HC_DARK_SENT }, nullptr },
        { "a received frame in high contrast", 0, &HIGH_CONTRAST_WHITE, 0, 0, false, 'R', { ICON_HC_DARK_RECV },
          nullptr },
        { "a scheme with a dark window colour: light shapes", 0, &HIGH_CONTRAST_BLACK, 0, 0, true, 0,
          { ICON_HC_LIGHT_RECV }, nullptr },
        { "high contrast off, no value (dark), arrows off: yellow again", -1, nullptr, 1, 2, true, 0,
          { ICON_DARK_YELLOW }, "[Option]\r\nLampShapes=0\r\n" },
        { "a light taskbar again, then the stop: the stopped lamp in its look", 1, nullptr, 0, 1, false, 0,
          { ICON_YELLOW, ICON_STOPPED }, nullptr, true },
    };
    for (const auto& p : phases) {
        notify::Clear();
        keep.reset(); // first, so that the next one saves the prefix's own value
        keep = taskbar(p.taskbarLight);
        StandInHighContrast(p.contrast);
        for (int i = 0; i < p.arrowsChosen; ++i)
            OnCommand(window, CMD_LAMP_SHAPES);
        for (int i = 0; i < p.announcements; ++i)
            SendMessageA(window, WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>("ImmersiveColorSet"));
        if (p.colourChange)
            SendMessageA(window, WM_SYSCOLORCHANGE, 0, 0);
        if (p.frame != 0)
            DeliverFrame(p.frame == 'S' ? Sent() : Received(), kSeconds);
        if (p.stop)
            LampStop(window);
        EXPECT_EQ(p.images, ImagesSent()) << p.what;
        if (p.ini != nullptr) {
            EXPECT_EQ(p.ini, ReadFileBytes(settings)) << p.what;
        }
    }
    StandInHighContrast(nullptr);
    keep.reset();
    app.LampShapes = 0;
    TrayIconFollowLook(); // the prefix's own look for the cases after this one
    DeleteFileA(settings.c_str());
    RemoveDirectoryA(folder.c_str());
}
