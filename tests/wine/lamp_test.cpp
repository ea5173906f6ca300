// The lamp under Wine: a real window, its timer and message loop, with the
// icon in Wine's notification area. The lamp is watched through
// app.trayData.hIcon, the handle TrayIconSetImage stored last, and through
// the records the program hands to Shell_NotifyIconA.
#include <gtest/gtest.h>
#include <cstdio>
#include <vector>
#include "core/app_state.h"
#include "monitor/lamp_win.h"
#include "res/resource.h"
#include "support/lamp_window.h"
#include "support/notify_recorder.h"
#include "support/message_boxes.h"
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
