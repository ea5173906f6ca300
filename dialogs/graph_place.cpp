#include "dialogs/graph_place.h"

ScreenRect DefaultGraphPlace(const ScreenRect& notifyArea, const ScreenRect& workArea,
                             int32_t width, int32_t height, int32_t margin)
{
    // Sums halved separately: screen coordinates may be large or negative.
    int32_t areaX = notifyArea.left / 2 + notifyArea.right / 2;
    int32_t areaY = notifyArea.top / 2 + notifyArea.bottom / 2;
    bool right = areaX >= workArea.left / 2 + workArea.right / 2;
    bool bottom = areaY >= workArea.top / 2 + workArea.bottom / 2;
    int32_t left = right ? workArea.right - margin - width : workArea.left + margin;
    int32_t top = bottom ? workArea.bottom - margin - height : workArea.top + margin;
    return KeepOnWorkArea(left, top, width, height, workArea);
}

namespace {
int64_t Fit(int64_t start, int64_t length, int64_t low, int64_t high)
{
    if (start + length > high)
        start = high - length;
    return start < low ? low : start;
}
}

ScreenRect KeepOnWorkArea(int32_t left, int32_t top, int32_t width, int32_t height,
                          const ScreenRect& workArea)
{
    // In 64 bits: the numbers come from a file and may be anything.
    int64_t areaWidth = static_cast<int64_t>(workArea.right) - workArea.left;
    int64_t areaHeight = static_cast<int64_t>(workArea.bottom) - workArea.top;
    int64_t w = width < 1 ? 1 : (width > areaWidth ? areaWidth : width);
    int64_t h = height < 1 ? 1 : (height > areaHeight ? areaHeight : height);
    int64_t x = Fit(left, w, workArea.left, workArea.right);
    int64_t y = Fit(top, h, workArea.top, workArea.bottom);
    return ScreenRect{ static_cast<int32_t>(x), static_cast<int32_t>(y),
                       static_cast<int32_t>(x + w), static_cast<int32_t>(y + h) };
}
