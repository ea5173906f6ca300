#include "monitor/traffic_history.h"
#include <cstring>

namespace {

void Push(RateSample* ring, int* count, int* next, const RateSample& sample)
{
    ring[*next] = sample;
    *next = (*next + 1) % HISTORY_POINTS;
    if (*count < HISTORY_POINTS)
        ++*count;
}

// The last `take` samples of a ring, oldest first.
int CopyOut(const RateSample* ring, int count, int next, int take, RateSample* out)
{
    if (take > count)
        take = count;
    for (int i = 0; i < take; ++i)
        out[i] = ring[(next - take + i + HISTORY_POINTS) % HISTORY_POINTS];
    return take;
}

} // namespace

void ClearHistory(TrafficHistory* history)
{
    std::memset(history, 0, sizeof *history);
}

void AddSecond(TrafficHistory* history, const RateSample& second)
{
    Push(history->seconds, &history->secondsCount, &history->secondsNext, second);
    history->partSum.sent += second.sent;
    history->partSum.received += second.received;
    if (++history->partSeconds < HISTORY_COARSE_STEP)
        return;
    RateSample mean = { history->partSum.sent / HISTORY_COARSE_STEP,
                        history->partSum.received / HISTORY_COARSE_STEP };
    Push(history->tens, &history->tensCount, &history->tensNext, mean);
    history->partSum = RateSample{ 0, 0 };
    history->partSeconds = 0;
}

void AddQuietSeconds(TrafficHistory* history, uint64_t seconds)
{
    // Beyond both spans every sample is quiet anyway.
    const uint64_t enough = HISTORY_POINTS * HISTORY_COARSE_STEP + HISTORY_COARSE_STEP;
    for (uint64_t i = 0; i < seconds && i < enough; ++i)
        AddSecond(history, RateSample{ 0, 0 });
}

int HistorySamples(const TrafficHistory& history, HistorySpan span, RateSample* out)
{
    if (span == SPAN_MINUTE)
        return CopyOut(history.seconds, history.secondsCount, history.secondsNext, HISTORY_POINTS, out);
    if (history.partSeconds == 0)
        return CopyOut(history.tens, history.tensCount, history.tensNext, HISTORY_POINTS, out);
    int n = CopyOut(history.tens, history.tensCount, history.tensNext, HISTORY_POINTS - 1, out);
    out[n].sent = history.partSum.sent / history.partSeconds;
    out[n].received = history.partSum.received / history.partSeconds;
    return n + 1;
}
