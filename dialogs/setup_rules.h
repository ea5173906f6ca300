// Decisions of the Setup dialog that need no window: reading the lamp-time
// field and telling whether the controls differ from the stored values.
#pragma once
#include <cstdint>

// The lamp-time field: a run of decimal digits that fits an unsigned 32-bit
// number, blanks (space, tab) allowed around it. Anything else (empty, a sign,
// letters, a value past 4294967295) does not read; *value is then 0.
bool ReadTimeoutText(const char* text, uint32_t* value);

// The adapter list's first item, "Automatic (the connection in use)", as a
// choice: the table's entries follow it, item i+1 for entry i.
enum { SETUP_AUTOMATIC = -2 };

// The choice a list item stands for: SETUP_AUTOMATIC, a table index, or -1
// for no item.
int32_t ChoiceOfListItem(int32_t item);
// The item the list opens with: Automatic when it is stored or at the first
// run, else the stored adapter, else the first adapter; -1 for none (a
// stored index past the table, or an empty table).
int32_t PreselectedListItem(int32_t cardAuto, bool firstRun, int32_t selectedIndex, int32_t count);

// What the controls show.
struct SetupControls {
    int32_t listSelection;  // a choice (ChoiceOfListItem); -1 when nothing is selected
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
    int32_t selectedIndex;  // SETUP_AUTOMATIC when CardAuto is 1
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

// OK needs Automatic, or a real adapter: a non-empty table and a selection
// inside it.
bool SetupCardChosen(int32_t count, int32_t listSelection);

// Colour value stored for a pair of radio buttons: 1 red, otherwise 2.
inline int32_t ColorFromRedButton(bool redChecked) { return redChecked ? 1 : 2; }
