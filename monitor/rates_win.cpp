#include "monitor/rates_win.h"
#include <atomic>
#include <cstring>
#include "core/app_state.h"
#include "monitor/lamp_win.h"
#include "monitor/programs_win.h"
#include "monitor/rate_text.h"
#include "monitor/traffic_history.h"
#include "res/resource.h"
#include "tray/tray_icon_win.h"

namespace {

const UINT RATE_PERIOD_MS = 1000;

// Written by the capture thread, read by the GUI thread; only the sums
// matter, so no ordering is asked for. They only grow: a run's rates and
// the totals since Monitor start are differences from readings of them.
std::atomic<uint64_t> sentTotal{ 0 };
std::atomic<uint64_t> receivedTotal{ 0 };

// GUI thread only.
uint64_t sentBefore = 0;
uint64_t receivedBefore = 0;
uint64_t readAtMs = 0;
// The name the rates are shown after; empty while the seconds are quiet.
char rateName[TIP_TEXT_SIZE] = "";
TrafficHistory history;
uint64_t sentAtMonitorStart = 0;
uint64_t receivedAtMonitorStart = 0;
uint64_t lastSampleMs = 0;

void TellGraph()
{
    if (app.graphWindow != nullptr)
        SendMessageA(app.graphWindow, WM_GRAPH_UPDATE, 0, 0);
}

// Sent only when the shell would show another text. The icon's record
// holds what was sent last, also by whoever else set the tip.
void ShowTip(const char* tip)
{
    size_t length = TipBytesThatFit(tip, TIP_TEXT_SIZE - 1);
    if (std::strncmp(tip, app.trayData.szTip, length) == 0 && app.trayData.szTip[length] == '\0')
        return;
    TrayIconSetTip(tip);
}

} // namespace

void ReportTraffic(uint64_t sentBytes, uint64_t receivedBytes)
{
    sentTotal.fetch_add(sentBytes, std::memory_order_relaxed);
    receivedTotal.fetch_add(receivedBytes, std::memory_order_relaxed);
}

void RatesBeginHistory()
{
    ClearHistory(&history);
    sentAtMonitorStart = sentTotal.load();
    receivedAtMonitorStart = receivedTotal.load();
    lastSampleMs = LampClockMs();
    ProgramsBegin();
    TellGraph();
}

const TrafficHistory& RatesHistory()
{
    return history;
}

void RatesTotals(uint64_t* sent, uint64_t* received)
{
    *sent = sentTotal.load() - sentAtMonitorStart;
    *received = receivedTotal.load() - receivedAtMonitorStart;
}

void RatesStart(HWND window, const char* name)
{
    sentBefore = sentTotal.load();
    receivedBefore = receivedTotal.load();
    readAtMs = LampClockMs();
    // Automatic mode may have been without a connection since the last
    // second shown: those seconds were quiet.
    AddQuietSeconds(&history, (readAtMs - lastSampleMs) / 1000);
    lastSampleMs += (readAtMs - lastSampleMs) / 1000 * 1000;
    lstrcpynA(rateName, name, sizeof rateName);
    SetTimer(window, RATE_TIMER_ID, RATE_PERIOD_MS, nullptr);
    TellGraph();
}

void RatesQuiet(HWND window)
{
    rateName[0] = '\0';
    SetTimer(window, RATE_TIMER_ID, RATE_PERIOD_MS, nullptr);
    TellGraph();
}

void RatesStop(HWND window)
{
    KillTimer(window, RATE_TIMER_ID);
    rateName[0] = '\0';
    TellGraph();
}

void RatesShowTip(const char* tip)
{
    ShowTip(tip);
}

LRESULT OnRateTimer(HWND)
{
    uint64_t now = LampClockMs();
    uint64_t sent = sentTotal.load(std::memory_order_relaxed);
    uint64_t received = receivedTotal.load(std::memory_order_relaxed);
    uint64_t sentRate = RatePerSecond(sentBefore, sent, now - readAtMs);
    uint64_t receivedRate = RatePerSecond(receivedBefore, received, now - readAtMs);
    sentBefore = sent;
    receivedBefore = received;
    readAtMs = now;
    AddSecond(&history, RateSample{ sentRate, receivedRate });
    lastSampleMs = now;
    ProgramsTick();

    if (rateName[0] != '\0') {
        size_t nameLength = TipBytesThatFit(rateName, RateTipNameRoom(sentRate, receivedRate));
        char tip[TIP_TEXT_SIZE];
        FormatRateTip(rateName, nameLength, sentRate, receivedRate, tip);
        ShowTip(tip);
    }
    TellGraph();
    return 0;
}
