// When the lamp changes, decided from times alone so that the decision can be
// checked without a window or a clock. The capture thread reports the colour
// of the last frame of each read and when it arrived; the GUI thread asks
// NextLampStep whenever it is woken (by that report or by its timer).
#pragma once
#include <cstdint>

struct LampInput {
    uint64_t nowMs;
    uint64_t lastFrameMs;   // arrival of the newest frame; 0 before the first
    uint32_t timeoutMs;     // TimeoutP: how long a colour stays
    unsigned frameIcon;     // the newest frame's colour (ICON_IDLE before the first)
    unsigned shownIcon;     // what the notification area shows now
    uint64_t lastChangeMs;  // when the shown image last changed
};

struct LampStep {
    unsigned showIcon;  // the image to set, or 0 to leave it
    uint32_t timerMs;   // when to look again, or 0: no timer
    bool lit;           // a colour is (still) showing
};

// A colour goes out timeoutMs after the newest frame, never earlier. While
// it is lit, a change of colour waits until half a lamp time has passed
// since the last change, so that the shell is asked for at most two images
// per lamp time, however fast the traffic alternates. With a timeout of 0
// the newest colour stays until the stop.
// The look that shows a colour looks again just when it would go out, so a
// lone frame's colour goes out on time. A look that finds the colour already
// shown (frames went on) looks again half a lamp time after that instead, at
// most LAMP_LATE_AT_MOST_MS: steady traffic then wakes the program once per
// one and a half lamp times of the default 20 ms, not once per lamp time,
// and its colour goes out at most that much late, too little to see.
const uint32_t LAMP_LATE_AT_MOST_MS = 10;
LampStep NextLampStep(const LampInput& in);
