// The send and receive rates of the last minutes, for the traffic graph: one
// sample a second for the last minute, and one every ten seconds (the mean of
// its seconds) for the last ten minutes. Fixed rings, no allocation.
// Portable: no Windows types.
#pragma once
#include <cstdint>

enum {
    HISTORY_POINTS = 60,      // samples in either span
    HISTORY_COARSE_STEP = 10  // seconds in a sample of the ten-minute span
};

enum HistorySpan { SPAN_MINUTE, SPAN_TEN_MINUTES };

struct RateSample {
    uint64_t sent;      // bytes per second
    uint64_t received;
};

struct TrafficHistory {
    RateSample seconds[HISTORY_POINTS];
    int secondsCount;
    int secondsNext;
    RateSample tens[HISTORY_POINTS];
    int tensCount;
    int tensNext;
    // The sums of the seconds of the ten-second step under way.
    RateSample partSum;
    int partSeconds;
};

void ClearHistory(TrafficHistory* history);
// The rates of one more second.
void AddSecond(TrafficHistory* history, const RateSample& second);
// Seconds without traffic (monitoring went on with nothing to capture).
void AddQuietSeconds(TrafficHistory* history, uint64_t seconds);
// The span's samples, oldest first, into out (HISTORY_POINTS entries).
// The ten-minute span ends with the step under way, its seconds so far.
int HistorySamples(const TrafficHistory& history, HistorySpan span, RateSample* out);
