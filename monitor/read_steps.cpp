#include "monitor/read_steps.h"

AfterRead NextAfterRead(ReadEnd end, bool resumed, bool reopened)
{
    // A resume outweighs whatever the read itself said: the break it sent
    // may be what ended the read.
    if (resumed)
        return AfterRead::ReopenNow;
    switch (end) {
    case ReadEnd::Frames:
    case ReadEnd::Break:
        return AfterRead::ReadAgain;
    case ReadEnd::Error:
        break;
    }
    // One reopen per failure: a device that fails at once again is gone.
    return reopened ? AfterRead::ReportLost : AfterRead::ReopenAfterPause;
}
