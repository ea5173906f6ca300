// The programs behind the traffic, for the traffic graph's list. The capture
// thread counts every frame's bytes per local port; once a second the rate
// tick reads the counters and, when ports with traffic need it, the IP
// Helper's owner tables, and names the processes it has not met. Nothing of
// it is written to disk.
#pragma once
#include <windows.h>
#include <cstdint>
#include "monitor/program_list.h"

// The counters the capture thread counts into (static storage).
PortTraffic* ProgramsPortTraffic();

// GUI thread.
// Monitor start: the programs begin anew with the rates' history.
void ProgramsBegin();
// The rate tick, once a second.
void ProgramsTick();
// The programs with traffic in the span, "Other traffic" last; rows holds
// PROGRAM_MAX + 1. Returns the count.
int ProgramsRows(HistorySpan span, ProgramRow* rows);
// A row's name ("Other traffic", "System", the file's description or name,
// "Process <pid>"), its small icon (null: none) and a number that only this
// program ever has, so that a list can keep its selection.
const wchar_t* ProgramName(int index);
HICON ProgramIcon(int index);
uint32_t ProgramSerial(int index);
