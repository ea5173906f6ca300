// Decisions of the Setup dialog that need no window: reading the lamp-time
// field and telling whether the controls differ from the stored values.
#pragma once
#include <cstdint>

// The lamp-time field: a run of decimal digits that fits an unsigned 32-bit
// number, blanks (space, tab) allowed around it. Anything else (empty, a sign,
// letters, a value past 4294967295) does not read; *value is then 0.
bool ReadTimeoutText(const char* text, uint32_t* value);

// What the controls show.
struct SetupControls {
    int32_t listSelection;  // -1 when nothing is selected
    bool sendRed;
    bool sendYellow;
    bool recvRed;
    bool recvYellow;
    bool startOpt;
    bool nowOpt;
    uint32_t timeout;       // the field as read, 0 when it does not read
};

// The stored values behind them.
struct SetupValues {
    int32_t selectedIndex;
    int32_t ColorSend;
    int32_t ColorRecv;
    int32_t StartOpt;
    int32_t NowOpt;
    int32_t TimeoutP;
};

// 1 when a control differs from its stored value, otherwise 0. Colours other
// than 1 and 2 and start options other than 0 and 1 compare with nothing, and
// an empty list selection never counts as a change.
int SetupControlsDiffer(const SetupControls& controls, const SetupValues& values);

// OK needs a real adapter: a non-empty table and a selection inside it.
bool SetupCardChosen(int32_t count, int32_t listSelection);

// Colour value stored for a pair of radio buttons: 1 red, otherwise 2.
inline int32_t ColorFromRedButton(bool redChecked) { return redChecked ? 1 : 2; }
