// The send and receive rates in the tip while monitoring. The capture thread
// adds each read's bytes to two counters; once a second the GUI thread turns
// their growth into the tip's second line and the traffic graph's next
// second. The tip is sent only when its text changes.
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
// The tick once a second. A run begins: its rates from zero, each second's
// shown in the tip after name. No connection: the seconds go on, quiet, and
// the tip stays. Monitoring ends: no tick.
void RatesStart(HWND window, const char* name);
void RatesQuiet(HWND window);
void RatesStop(HWND window);
// The tip without rates, sent only when the shell would show another text.
void RatesShowTip(const char* tip);
LRESULT OnRateTimer(HWND window);
