// The programs behind the traffic, for the graph window's list: the bytes
// each sent and received in the last minute and the last ten minutes, and
// the reading of the port counters that feeds them once a second. At most
// PROGRAM_MAX programs are kept; a new one beyond them takes the place of
// the one that had traffic least recently, whose bytes go to "Other
// traffic". Portable: the glue reads the owner tables and names the
// processes.
#pragma once
#include <cstdint>
#include <unordered_map>
#include <vector>
#include "monitor/port_owners.h"
#include "monitor/port_traffic.h"
#include "monitor/traffic_history.h"

enum {
    PROGRAM_MAX = 64,
    PROGRAM_OTHER = PROGRAM_MAX,  // the index of "Other traffic"
    PROGRAM_RING = 60             // seconds, and ten-second steps, kept
};

// A process: its id and its creation time, so that a reused id is another
// program. created 0: the process could not be opened.
struct ProcessKey {
    uint32_t pid;
    uint64_t created;
};

struct ProgramRow {
    int index;  // 0 to PROGRAM_MAX - 1, or PROGRAM_OTHER
    uint64_t sent;
    uint64_t received;
};

class ProgramList {
public:
    ProgramList() { Clear(); }
    void Clear();
    // A new second begins; the oldest second (and ten-second step) is dropped.
    void NextSecond();
    // The program's index: the one it holds, or a new one (*added true: the
    // caller names it). *folded: the index was another program's, whose
    // bytes went to "Other traffic"; -1 when none was.
    int IndexOf(const ProcessKey& key, bool* added, int* folded);
    void Add(int index, unsigned direction, uint64_t bytes);
    ProcessKey KeyOf(int index) const { return programs_[index].key; }
    // The programs with traffic in the span, the largest sum of both
    // directions first (the lower index first among equal ones), "Other
    // traffic" last. out: PROGRAM_MAX + 1 rows. Returns the count.
    int Rows(HistorySpan span, ProgramRow* out) const;

private:
    struct Counts {
        uint64_t sent;
        uint64_t received;
    };
    struct Program {
        bool used;
        ProcessKey key;
        uint64_t lastUse;
        Counts seconds[PROGRAM_RING];
        Counts tens[PROGRAM_RING];
    };
    Program programs_[PROGRAM_MAX + 1];
    uint64_t second_;
    uint64_t uses_;
};

// What the owner look needs from the system: a process's key, by its id.
struct ProcessLookup {
    ProcessKey (*keyOf)(void* context, uint32_t pid);
    void* context;
};

// Reads the port counters once a second into a ProgramList. Ports whose
// owner is not known yet keep their bytes until the next look at the owner
// tables; what no row owns then goes to "Other traffic". Lives in static
// storage (its table of last readings has one entry per counter).
class PortReader {
public:
    void Clear(const PortTraffic& traffic, ProgramList* list);
    // The second's bytes; the list's new second begins first.
    void Tick(const PortTraffic& traffic, ProgramList* list);
    bool UnknownWithTraffic() const { return !pending_.empty(); }
    // Whether a port counted since the last look.
    bool TrafficSinceLook() const { return !sinceLook_.empty(); }
    // The owners of the ports that counted since the last look, from the
    // tables' rows and each TCP port's newest peer; new programs are added
    // to newPrograms.
    void Look(const PortTraffic& traffic, const std::vector<OwnerRow>& rows, const ProcessLookup& lookup,
              ProgramList* list, std::vector<int>* newPrograms);

private:
    void Forget(int index);

    uint32_t before_[PORT_KEYS];
    uint64_t otherBefore_[2];
    uint8_t owner_[2 * 65536];  // by protocol and port: 1 + a program's index or PROGRAM_OTHER; 0 not known
    bool counted_[2 * 65536];  // in sinceLook_
    std::vector<unsigned> sinceLook_;
    std::vector<unsigned> known_;
    std::unordered_map<unsigned, uint64_t> pending_;  // by counter key
};
