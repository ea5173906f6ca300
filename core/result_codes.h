// Result codes shared by every operation that can fail part of the way:
// the adapter discovery steps, start-up and the Setup dialog.
#pragma once

enum {
    RESULT_OK = 0,
    RESULT_NOT_FOUND = -1,
    RESULT_STEP_FAILED = -8,
    RESULT_LIMIT = -9
};
