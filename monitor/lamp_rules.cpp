#include "monitor/lamp_rules.h"
#include "res/resource.h"

LampStep NextLampStep(const LampInput& in)
{
    LampStep step = { 0, 0, false };
    uint64_t sinceFrame = in.nowMs >= in.lastFrameMs ? in.nowMs - in.lastFrameMs : 0;
    bool anyFrame = in.lastFrameMs != 0 && in.frameIcon != ICON_IDLE;
    if (!anyFrame || (in.timeoutMs > 0 && sinceFrame >= in.timeoutMs)) {
        if (in.shownIcon != ICON_IDLE)
            step.showIcon = ICON_IDLE;
        return step;
    }

    step.lit = true;
    uint64_t due = in.timeoutMs > 0 ? in.lastFrameMs + in.timeoutMs : 0;
    // Already shown: the frames go on (see the header).
    if (due != 0 && in.frameIcon == in.shownIcon)
        due += in.timeoutMs / 2 < LAMP_LATE_AT_MOST_MS ? in.timeoutMs / 2 : LAMP_LATE_AT_MOST_MS;
    if (in.frameIcon != in.shownIcon) {
        // Out to lit is shown at once; colour to colour is held off.
        uint64_t holdOff = in.shownIcon == ICON_IDLE ? 0 : in.timeoutMs / 2;
        uint64_t changeAt = in.lastChangeMs + holdOff;
        if (in.nowMs >= changeAt)
            step.showIcon = in.frameIcon;
        else if (due == 0 || changeAt < due)
            due = changeAt;
    }
    if (due > in.nowMs)
        step.timerMs = static_cast<uint32_t>(due - in.nowMs);
    else if (due != 0)
        step.timerMs = 1;
    return step;
}
