#include "dialogs/graph_scale.h"
#include <cstdio>

namespace {

const char* const UNITS[] = { "KB", "MB", "GB" };

void Label(uint64_t multiple, const char* unit, char* out)
{
    if (multiple == 0)
        std::snprintf(out, SCALE_LABEL_SIZE, "0");
    else
        std::snprintf(out, SCALE_LABEL_SIZE, "%llu %s/s", static_cast<unsigned long long>(multiple), unit);
}

// The i-th candidate step: 1, 2, 5, 10, 20, 50, 100, 200 KB/s, the same in
// MB/s, then 1, 2, 5, 10, 20, ... GB/s without end. Below GB a step stays
// under 1000 of its unit (at most 4 x 200), so that a label never reads
// "1000 KB/s" where the tip would say "1.0 MB/s".
uint64_t StepAt(int i, uint64_t* multiple, int* unit)
{
    static const uint64_t below[] = { 1, 2, 5, 10, 20, 50, 100, 200 };
    static const uint64_t series[] = { 1, 2, 5 };
    if (i < 16) {
        *unit = i / 8;
        *multiple = below[i % 8];
        return *multiple << (10 * (*unit + 1));
    }
    *unit = 2;
    *multiple = series[(i - 16) % 3];
    for (int tens = (i - 16) / 3; tens > 0; --tens)
        *multiple *= 10;
    return *multiple << 30;
}

} // namespace

GraphScale ChooseScale(uint64_t highest)
{
    GraphScale scale;
    for (int i = 0;; ++i) {
        uint64_t multiple;
        int unit;
        uint64_t step = StepAt(i, &multiple, &unit);
        uint64_t steps = highest / step + (highest % step != 0 ? 1 : 0);
        if (steps > SCALE_MAX_STEPS)
            continue;
        scale.step = step;
        scale.steps = steps == 0 ? 1 : static_cast<int>(steps);
        for (int k = 0; k <= scale.steps; ++k)
            Label(multiple * k, UNITS[unit], scale.labels[k]);
        return scale;
    }
}

uint64_t HighestRate(const RateSample* samples, int count)
{
    uint64_t highest = 0;
    for (int i = 0; i < count; ++i) {
        if (samples[i].sent > highest)
            highest = samples[i].sent;
        if (samples[i].received > highest)
            highest = samples[i].received;
    }
    return highest;
}

void PlotPoints(const RateSample* samples, int count, bool received, uint64_t top,
                const PlotArea& area, PlotPoint* out)
{
    int64_t width = area.right - area.left;
    int64_t height = area.bottom - area.top;
    for (int i = 0; i < count; ++i) {
        int64_t slot = HISTORY_POINTS - count + i;
        uint64_t value = received ? samples[i].received : samples[i].sent;
        if (value > top)
            value = top;
        // In floating point: top may be near the counter's range, where
        // value * height would not fit.
        double share = top == 0 ? 0.0 : static_cast<double>(value) / static_cast<double>(top);
        out[i].x = static_cast<int32_t>(area.left + slot * width / (HISTORY_POINTS - 1));
        out[i].y = static_cast<int32_t>(area.bottom - static_cast<int64_t>(share * height + 0.5));
    }
}
