#include "monitor/rates_win.h"
#include <atomic>
#include <cstring>
#include "core/app_state.h"
#include "monitor/lamp_win.h"
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
char shownTip[TIP_TEXT_SIZE] = "";
TrafficHistory history;
uint64_t sentAtMonitorStart = 0;
uint64_t receivedAtMonitorStart = 0;
uint64_t lastSampleMs = 0;

void TellGraph()
{
    if (app.graphWindow != nullptr)
        SendMessageA(app.graphWindow, WM_GRAPH_UPDATE, 0, 0);
}

void ShowTip(const char* tip)
{
    if (std::strcmp(tip, shownTip) == 0)
        return;
    lstrcpynA(shownTip, tip, sizeof shownTip);
    TrayIconSetTip(tip);
}

} // namespace

void ReportTraffic(uint64_t sentBytes, uint64_t receivedBytes)
{
    sentTotal.fetch_add(sentBytes, std::memory_order_relaxed);
    receivedTotal.fetch_add(receivedBytes, std::memory_order_relaxed);
}

const char* ConnectionName()
{
    // Automatic mode names the connection in use, which the table may not
    // list (an adapter that came after Monitor start).
    if (app.monitoring == 1 && app.CardAuto == 1)
        return app.noConnection == 1 ? nullptr : app.CardName;
    return app.selectedIndex < 0 ? nullptr : app.CardName;
}

const char* PlainTip()
{
    const char* name = ConnectionName();
    if (name != nullptr)
        return name;
    return app.monitoring == 1 && app.CardAuto == 1 ? "No connection" : "NetGlow";
}

void RatesBeginHistory()
{
    ClearHistory(&history);
    sentAtMonitorStart = sentTotal.load();
    receivedAtMonitorStart = receivedTotal.load();
    lastSampleMs = LampClockMs();
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

void RatesStart(HWND window)
{
    sentBefore = sentTotal.load();
    receivedBefore = receivedTotal.load();
    readAtMs = LampClockMs();
    // Automatic mode may have been without a connection since the last
    // second shown: those seconds were quiet.
    AddQuietSeconds(&history, (readAtMs - lastSampleMs) / 1000);
    lastSampleMs += (readAtMs - lastSampleMs) / 1000 * 1000;
    lstrcpynA(shownTip, PlainTip(), sizeof shownTip);
    SetTimer(window, RATE_TIMER_ID, RATE_PERIOD_MS, nullptr);
}

void RatesStop(HWND window)
{
    KillTimer(window, RATE_TIMER_ID);
    ShowTip(PlainTip());
    TellGraph();
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

    const char* name = PlainTip();
    size_t nameLength = TipBytesThatFit(name, RateTipNameRoom(sentRate, receivedRate));
    char tip[TIP_TEXT_SIZE];
    FormatRateTip(name, nameLength, sentRate, receivedRate, tip);
    ShowTip(tip);
    TellGraph();
    return 0;
}
