// The rates in the tip while monitoring, with the real capture thread and the
// fake library replaying frames of a known size at a known pace.
#include <gtest/gtest.h>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>
#include "core/app_state.h"
#include "monitor/capture_win.h"
#include "monitor/monitoring_win.h"
#include "monitor/lamp_win.h"
#include "monitor/rates_win.h"
#include "monitor/traffic_history.h"
#include "res/resource.h"
#include "support/adapter_doubles.h"
#include "support/lamp_window.h"
#include "support/message_boxes.h"
#include "support/notify_recorder.h"
#include "tray/tray_icon_win.h"

namespace {

struct Tip {
    double atMs;
    std::string text;
};

// Each new tip that reached the shell, with its time.
std::vector<Tip> Tips()
{
    std::vector<Tip> tips;
    for (const NotifyCall& call : notify::Calls())
        if (call.message == NIM_MODIFY && (call.record.uFlags & NIF_TIP))
            if (tips.empty() || tips.back().text != call.record.szTip)
                tips.push_back({ call.atMs, call.record.szTip });
    return tips;
}

bool RatesShownTwice(void*)
{
    int shown = 0;
    for (const Tip& tip : Tips())
        shown += tip.text.find("Received") != std::string::npos;
    return shown >= 2;
}

// Bytes per second of a rate text such as "97.7 KB/s".
double BytesPerSecond(const std::string& text)
{
    double value = std::atof(text.c_str());
    if (text.find(" KB/s") != std::string::npos)
        value *= 1024;
    else if (text.find(" MB/s") != std::string::npos)
        value *= 1024 * 1024;
    return value;
}

// The times of the fake library's hand-overs ("handover MS" lines).
std::vector<double> HandOvers()
{
    std::vector<double> handed;
    for (const std::string& call : ReadCalls())
        if (call.rfind("handover ", 0) == 0)
            handed.push_back(std::atof(call.c_str() + 9));
    return handed;
}

int HandedBetween(const std::vector<double>& handed, double fromMs, double toMs)
{
    int count = 0;
    for (double at : handed)
        count += at > fromMs && at <= toMs;
    return count;
}

// The graph's seconds as they come, each with the time it was seen.
struct SecondsSeen {
    std::vector<double> atMs;
};

bool FiveSecondsSeen(void* arg)
{
    SecondsSeen* seen = static_cast<SecondsSeen*>(arg);
    RateSample samples[HISTORY_POINTS];
    int count = HistorySamples(RatesHistory(), SPAN_MINUTE, samples);
    while (static_cast<int>(seen->atMs.size()) < count)
        seen->atMs.push_back(CounterMs());
    return count >= 5;
}

TEST(Rates, TipShowsTheNameAndTheRatesOfTheLastSecondThenTheNameAlone)
{
    ASSERT_TRUE(notify::Record());
    HWND window = StartRunWindow("192.168.1.10");
    lstrcpynA(app.adapters.deviceName[0], "\\Device\\NPF_{X}", ADAPTER_TEXT_SIZE);
    lstrcpynA(app.CardName, "Ethernet", sizeof app.CardName);
    ASSERT_TRUE(AddLampIcon(window, "Ethernet")) << "Wine's notification area did not take the icon";
    // Received frames of 1000 bytes (64 captured), one every 10 ms.
    SetFakeCaptureDevices({ "device=\\Device\\NPF_{X}", "replay=" + WriteCapture({ 64 }, 1000),
                            "replay_repeat=100000", "replay_gap_us=10000", "log_handover=1" });
    StartMonitoring();
    bool shown = PumpUntil(RatesShownTwice, nullptr, 10000);
    StopMonitoring();
    ASSERT_TRUE(shown) << "the rates never reached the tip";

    // The second tip with rates covers a full second of steady replay; what
    // the fake library really handed over in that second is the measure.
    std::vector<Tip> tips = Tips();
    const Tip* tip = nullptr;
    int seen = 0;
    for (const Tip& t : tips)
        if (t.text.find("Received") != std::string::npos && ++seen == 2)
            tip = &t;
    int inWindow = HandedBetween(HandOvers(), tip->atMs - 1000, tip->atMs);
    double expected = inWindow * 1000.0;
    std::string received = tip->text.substr(tip->text.find("Received ") + 9);
    EXPECT_EQ(0u, tip->text.find("Ethernet\nSent 0 B/s  Received ")) << tip->text;
    EXPECT_NEAR(expected, BytesPerSecond(received), expected * 0.10) << tip->text;
    EXPECT_GT(inWindow, 50) << "the replay was far slower than its pace";
    EXPECT_EQ("Ethernet", tips.back().text);
    TrayIconDelete(window, TRAY_ICON_ID);
    DestroyLampWindow(window);
}

// A new run counts from nothing: frames of an earlier run that no rate has
// shown yet (this thread handles no timer meanwhile) are not shown as the
// new run's traffic.
TEST(Rates, ANewRunStartsCountingFromNothing)
{
    ASSERT_TRUE(notify::Record());
    HWND window = StartRunWindow("192.168.1.10");
    lstrcpynA(app.adapters.deviceName[0], "\\Device\\NPF_{X}", ADAPTER_TEXT_SIZE);
    lstrcpynA(app.CardName, "Ethernet", sizeof app.CardName);
    // The recorder keeps what a record's size covers.
    app.trayData.cbSize = NOTIFYICONDATAA_V1_SIZE;
    app.trayData.uFlags = NIF_TIP;
    std::string log = MakeTempFolder("rates") + "NetGlow.txt";
    lstrcpynA(app.logPath, log.c_str(), sizeof app.logPath);
    app.logging = 1;
    // The first run: 20 frames of 1000 bytes at once. A read's lines are
    // written after its traffic is counted.
    SetFakeCaptureDevices({ "device=\\Device\\NPF_{X}", "replay=" + WriteCapture({ 64 }, 1000), "replay_repeat=20" });
    StartMonitoring();
    WaitFor([&] { return CountOf(ReadFileBytes(log), "\r\n") >= 20; }, 10000);
    StopMonitoring();
    ASSERT_EQ(20, CountOf(ReadFileBytes(log), "\r\n"));

    // The second run, on a quiet adapter.
    notify::Clear();
    SetFakeCaptureDevices({ "device=\\Device\\NPF_{X}" });
    StartMonitoring();
    bool shown = PumpUntil([](void*) {
        for (const Tip& tip : Tips())
            if (tip.text.find("Received") != std::string::npos)
                return true;
        return false;
    }, nullptr, 10000);
    StopMonitoring();
    ASSERT_TRUE(shown) << "the rates never reached the tip";
    for (const Tip& tip : Tips())
        if (tip.text.find("Received") != std::string::npos) {
            EXPECT_EQ("Ethernet\nSent 0 B/s  Received 0 B/s", tip.text);
            break;
        }
    DestroyLampWindow(window);
}

bool ReceivedTotalReaches(void* bytes)
{
    uint64_t sent, received;
    RatesTotals(&sent, &received);
    return received >= *static_cast<uint64_t*>(bytes);
}

} // namespace

// The traffic graph's seconds are what the library handed over in each of
// them, and its totals every byte handed over since Monitor start, also
// across Automatic mode's move to another run.
TEST(Rates, GraphHistoryAndTotalsFollowWhatTheLibraryHandedOver)
{
    HWND window = StartRunWindow("192.168.1.10");
    lstrcpynA(app.adapters.deviceName[0], "\\Device\\NPF_{X}", ADAPTER_TEXT_SIZE);
    // 800 received frames of 1000 bytes (64 captured), one every 10 ms.
    SetFakeCaptureDevices({ "device=\\Device\\NPF_{X}", "replay=" + WriteCapture({ 64 }, 1000),
                            "replay_repeat=800", "replay_gap_us=10000", "log_handover=1" });
    StartMonitoring();
    SecondsSeen seen;
    ASSERT_TRUE(PumpUntil(FiveSecondsSeen, &seen, 15000)) << "the graph's history did not grow";
    RateSample samples[HISTORY_POINTS];
    ASSERT_EQ(5, HistorySamples(RatesHistory(), SPAN_MINUTE, samples));
    // Frames handed over while a stop is under way are dropped: the totals
    // are read once the replay has ended.
    uint64_t target = 800 * 1000;
    bool counted = PumpUntil(ReceivedTotalReaches, &target, 30000);
    uint64_t sent = 1, received = 0;
    RatesTotals(&sent, &received);
    std::vector<double> handed = HandOvers();

    // The move: the run ends and another begins, with 100 frames more.
    SetFakeCaptureDevices({ "device=\\Device\\NPF_{X}", "replay=" + WriteCapture({ 64 }, 1000), "replay_repeat=100" });
    EndRun();
    OwnAddresses own = {};
    ASSERT_TRUE(StartRun("\\Device\\NPF_{X}", own, true));
    LetRunRead();
    target = 900 * 1000;
    bool movedCounted = PumpUntil(ReceivedTotalReaches, &target, 30000);
    uint64_t sentAfterMove = 1, receivedAfterMove = 0;
    RatesTotals(&sentAfterMove, &receivedAfterMove);
    RateSample kept[HISTORY_POINTS];
    int keptCount = HistorySamples(RatesHistory(), SPAN_MINUTE, kept);
    StopMonitoring();

    // The first second may begin before the replay's first frame.
    for (int i = 1; i < 5; ++i) {
        double expected = HandedBetween(handed, seen.atMs[i] - 1000, seen.atMs[i]) * 1000.0;
        EXPECT_GT(expected, 50000) << "second " << i << ": the replay was far slower than its pace";
        EXPECT_NEAR(expected, static_cast<double>(samples[i].received), expected * 0.10) << "second " << i;
        EXPECT_EQ(0u, samples[i].sent) << "second " << i;
    }
    EXPECT_TRUE(counted);
    EXPECT_EQ(800u, handed.size());
    EXPECT_EQ(0u, sent);
    EXPECT_EQ(800u * 1000, received);
    EXPECT_TRUE(movedCounted);
    EXPECT_EQ(0u, sentAfterMove);
    EXPECT_EQ(900u * 1000, receivedAfterMove);
    ASSERT_GE(keptCount, 5);
    EXPECT_EQ(samples[1].received, kept[1].received) << "the history began anew";
    DestroyLampWindow(window);
}
