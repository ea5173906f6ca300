// "Start with Windows": the value "NetGlow" of the current user's Run key.
#pragma once

// True when the value names this program (not another copy of it).
bool StartsWithWindows();
// Points the value at this program, quoted; or removes it. False on failure.
bool SetStartWithWindows(bool start);
