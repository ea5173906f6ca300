#include "monitor/rates_win.h"
#include <atomic>
#include <cstring>
#include "core/app_state.h"
#include "monitor/lamp_win.h"
#include "monitor/rate_text.h"
#include "res/resource.h"
#include "tray/tray_icon_win.h"

namespace {

const UINT RATE_PERIOD_MS = 1000;

// Written by the capture thread, read by the GUI thread; only the sums
// matter, so no ordering is asked for.
std::atomic<uint64_t> sentTotal{ 0 };
std::atomic<uint64_t> receivedTotal{ 0 };

// GUI thread only.
uint64_t sentBefore = 0;
uint64_t receivedBefore = 0;
uint64_t readAtMs = 0;
char shownTip[TIP_TEXT_SIZE] = "";

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

const char* PlainTip()
{
    // Automatic mode names the connection in use, which the table may not
    // list (an adapter that came after Monitor start).
    if (app.monitoring == 1 && app.CardAuto == 1)
        return app.noConnection == 1 ? "No connection" : app.CardName;
    return app.selectedIndex < 0 ? "NetGlow" : app.CardName;
}

void RatesStart(HWND window)
{
    sentTotal.store(0);
    receivedTotal.store(0);
    sentBefore = receivedBefore = 0;
    readAtMs = LampClockMs();
    lstrcpynA(shownTip, PlainTip(), sizeof shownTip);
    SetTimer(window, RATE_TIMER_ID, RATE_PERIOD_MS, nullptr);
}

void RatesStop(HWND window)
{
    KillTimer(window, RATE_TIMER_ID);
    ShowTip(PlainTip());
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

    const char* name = PlainTip();
    size_t nameLength = TipBytesThatFit(name, RateTipNameRoom(sentRate, receivedRate));
    char tip[TIP_TEXT_SIZE];
    FormatRateTip(name, nameLength, sentRate, receivedRate, tip);
    ShowTip(tip);
    return 0;
}
