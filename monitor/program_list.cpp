#include "monitor/program_list.h"
#include <algorithm>
#include <cstring>

void ProgramList::Clear()
{
    std::memset(programs_, 0, sizeof programs_);
    programs_[PROGRAM_OTHER].used = true;
    programs_[PROGRAM_OTHER].key = ProcessKey{ PID_IDLE, 0 };
    second_ = 0;
    uses_ = 0;
}

void ProgramList::NextSecond()
{
    ++second_;
    bool newStep = second_ % 10 == 0;
    for (Program& program : programs_) {
        program.seconds[second_ % PROGRAM_RING] = Counts{ 0, 0 };
        if (newStep)
            program.tens[second_ / 10 % PROGRAM_RING] = Counts{ 0, 0 };
    }
}

int ProgramList::IndexOf(const ProcessKey& key, bool* added, int* folded)
{
    *added = false;
    *folded = -1;
    if (key.pid == PID_IDLE)
        return PROGRAM_OTHER;
    int free = -1;
    int leastRecent = 0;
    for (int i = 0; i < PROGRAM_MAX; ++i) {
        Program& program = programs_[i];
        if (!program.used) {
            if (free < 0)
                free = i;
            continue;
        }
        if (program.key.pid == key.pid && program.key.created == key.created) {
            program.lastUse = ++uses_;
            return i;
        }
        if (program.lastUse < programs_[leastRecent].lastUse)
            leastRecent = i;
    }
    int index = free;
    if (index < 0) {
        index = leastRecent;
        Program& old = programs_[index];
        Program& other = programs_[PROGRAM_OTHER];
        for (int i = 0; i < PROGRAM_RING; ++i) {
            other.seconds[i].sent += old.seconds[i].sent;
            other.seconds[i].received += old.seconds[i].received;
            other.tens[i].sent += old.tens[i].sent;
            other.tens[i].received += old.tens[i].received;
        }
        *folded = index;
    }
    Program& program = programs_[index];
    std::memset(&program, 0, sizeof program);
    program.used = true;
    program.key = key;
    program.lastUse = ++uses_;
    *added = true;
    return index;
}

void ProgramList::Add(int index, unsigned direction, uint64_t bytes)
{
    Program& program = programs_[index];
    Counts& second = program.seconds[second_ % PROGRAM_RING];
    Counts& step = program.tens[second_ / 10 % PROGRAM_RING];
    (direction == PORT_SENT ? second.sent : second.received) += bytes;
    (direction == PORT_SENT ? step.sent : step.received) += bytes;
    if (index != PROGRAM_OTHER)
        program.lastUse = ++uses_;
}

int ProgramList::Rows(HistorySpan span, ProgramRow* out) const
{
    int count = 0;
    ProgramRow other = { PROGRAM_OTHER, 0, 0 };
    for (int i = 0; i <= PROGRAM_MAX; ++i) {
        const Program& program = programs_[i];
        if (!program.used)
            continue;
        ProgramRow row = { i, 0, 0 };
        const Counts* ring = span == SPAN_MINUTE ? program.seconds : program.tens;
        for (int j = 0; j < PROGRAM_RING; ++j) {
            row.sent += ring[j].sent;
            row.received += ring[j].received;
        }
        if (i == PROGRAM_OTHER)
            other = row;
        else if (row.sent + row.received > 0)
            out[count++] = row;
    }
    std::stable_sort(out, out + count, [](const ProgramRow& a, const ProgramRow& b) {
        return a.sent + a.received > b.sent + b.received;
    });
    if (other.sent + other.received > 0)
        out[count++] = other;
    return count;
}

void PortReader::Clear(const PortTraffic& traffic, ProgramList* list)
{
    list->Clear();
    for (unsigned key = traffic.NextSeen(0); key < PORT_KEYS; key = traffic.NextSeen(key + 1))
        before_[key] = traffic.Bytes(key);
    otherBefore_[PORT_SENT] = traffic.OtherBytes(PORT_SENT);
    otherBefore_[PORT_RECEIVED] = traffic.OtherBytes(PORT_RECEIVED);
    std::memset(owner_, 0, sizeof owner_);
    std::memset(counted_, 0, sizeof counted_);
    sinceLook_.clear();
    known_.clear();
    pending_.clear();
}

void PortReader::Tick(const PortTraffic& traffic, ProgramList* list)
{
    list->NextSecond();
    for (unsigned direction : { PORT_RECEIVED, PORT_SENT }) {
        uint64_t now = traffic.OtherBytes(direction);
        if (now != otherBefore_[direction])
            list->Add(PROGRAM_OTHER, direction, now - otherBefore_[direction]);
        otherBefore_[direction] = now;
    }
    for (unsigned key = traffic.NextSeen(0); key < PORT_KEYS; key = traffic.NextSeen(key + 1)) {
        uint32_t now = traffic.Bytes(key);
        uint32_t bytes = now - before_[key];
        if (bytes == 0)
            continue;
        before_[key] = now;
        unsigned port = key >> 1;
        if (!counted_[port]) {
            counted_[port] = true;
            sinceLook_.push_back(port);
        }
        if (owner_[port] != 0)
            list->Add(owner_[port] - 1, key & 1, bytes);
        else
            pending_[key] += bytes;
    }
}

void PortReader::Forget(int index)
{
    for (unsigned port : known_)
        if (owner_[port] == index + 1)
            owner_[port] = 0;
}

void PortReader::Look(const PortTraffic& traffic, const std::vector<OwnerRow>& rows, const ProcessLookup& lookup,
                      ProgramList* list, std::vector<int>* newPrograms)
{
    // A port without traffic since the last look may have been closed and
    // taken by another program: its owner is looked up afresh next time.
    for (unsigned port : known_)
        if (!counted_[port])
            owner_[port] = 0;
    known_.clear();
    // Each process is asked for once a look, however many ports it holds.
    std::unordered_map<uint32_t, ProcessKey> processes;
    for (unsigned port : sinceLook_) {
        counted_[port] = false;
        PortQuery query = { port >> 16, port & 0xFFFF, nullptr, nullptr, 0 };
        // A TCP port's bytes go with the connection of its newest peer.
        PortPeer peer;
        if (query.protocol == PORT_TCP && traffic.Peer(query.localPort, &peer)) {
            query.remote = peer.remote;
            query.remotePort = peer.remotePort;
        }
        uint32_t pid = PortOwner(rows, query);
        int index = PROGRAM_OTHER;
        if (pid != PID_NONE && pid != PID_IDLE) {
            bool added = false;
            int folded = -1;
            auto known = processes.find(pid);
            if (known == processes.end())
                known = processes.emplace(pid, lookup.keyOf(lookup.context, pid)).first;
            index = list->IndexOf(known->second, &added, &folded);
            if (folded >= 0)
                Forget(folded);
            if (added)
                newPrograms->push_back(index);
        }
        owner_[port] = static_cast<uint8_t>(index + 1);
        known_.push_back(port);
    }
    sinceLook_.clear();
    for (const auto& entry : pending_) {
        int owner = owner_[entry.first >> 1];
        list->Add(owner != 0 ? owner - 1 : PROGRAM_OTHER, entry.first & 1, entry.second);
    }
    pending_.clear();
}
