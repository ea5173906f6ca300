// What the traffic graph draws, decided without the window system: a scale
// of round steps that fits the highest rate shown, its labels in the tip's
// units, and where each sample lands in the plot. Portable.
#pragma once
#include <cstddef>
#include <cstdint>
#include "monitor/traffic_history.h"

enum {
    SCALE_MAX_STEPS = 4,
    SCALE_LABEL_SIZE = 24
};

struct GraphScale {
    uint64_t step;  // bytes per second between two lines
    int steps;      // lines above zero; the top is step * steps
    char labels[SCALE_MAX_STEPS + 1][SCALE_LABEL_SIZE];  // "0", "50 KB/s", ...
};

// The smallest scale of 1, 2 or 5 times a power of ten of a unit (KB/s at
// the least) whose at most SCALE_MAX_STEPS steps reach `highest`.
GraphScale ChooseScale(uint64_t highest);

// The highest rate of either direction among the samples.
uint64_t HighestRate(const RateSample* samples, int count);

struct PlotArea {
    int32_t left, top, right, bottom;
};

struct PlotPoint {
    int32_t x, y;
};

// The points of one direction: the newest sample at the right edge, one
// slot of HISTORY_POINTS per sample, values above the top held at the top.
// out holds `count` points.
void PlotPoints(const RateSample* samples, int count, bool received, uint64_t top,
                const PlotArea& area, PlotPoint* out);
