// The send and receive rates in the tip while monitoring. The capture thread
// adds each read's bytes to two counters; once a second the GUI thread turns
// their growth into the tip's second line.
#pragma once
#include <windows.h>
#include <cstdint>

// Capture thread, once per read: the frames' original lengths, summed.
void ReportTraffic(uint64_t sentBytes, uint64_t receivedBytes);

struct TrafficHistory;

// GUI thread.
// Monitor start: the history and the totals begin anew (a restart after
// Setup keeps them). Automatic mode's runs on one adapter after another
// add to the same history.
void RatesBeginHistory();
const TrafficHistory& RatesHistory();
// Bytes sent and received since Monitor start, up to this moment.
void RatesTotals(uint64_t* sent, uint64_t* received);
void RatesStart(HWND window);   // a run begins: its rates from zero, the timer
void RatesStop(HWND window);    // the run ends: no timer, the name alone
LRESULT OnRateTimer(HWND window);
// The connection monitored (or chosen), or null: none chosen, or automatic
// monitoring has none.
const char* ConnectionName();
// The tip without rates: the connection name, "NetGlow" with none chosen,
// or "No connection" while automatic monitoring has none.
const char* PlainTip();
