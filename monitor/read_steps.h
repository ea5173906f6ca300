// What the capture thread does after each read of its device, decided apart
// from the capture library so that every combination can be checked without
// a device.
#pragma once

// How a read ended.
enum class ReadEnd {
    Frames,  // it returned (any number of frames, none included)
    Break,   // the library's break: a stop (seen before this is asked) or a
             // resume cut it short, or a resume's break that reached the
             // handle only after the reopen it asked for
    Error    // the device failed
};

enum class AfterRead {
    ReadAgain,       // also after a break nobody asked for: never end a run for it
    ReportLost,      // the device failed again right after its reopen
    ReopenNow,       // a resume: a wake left the open handle stale
    ReopenAfterPause // a failed read: a driver restart may need a moment
};

// resumed: a resume asked for a fresh open since the last read.
// reopened: the device was opened again after a failed read and has not
// delivered a read since.
AfterRead NextAfterRead(ReadEnd end, bool resumed, bool reopened);
