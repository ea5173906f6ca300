// The programs behind the traffic: port counters read once a second,
// owners looked up in owner-table rows, the list's spans and its limit.
#include <gtest/gtest.h>
#include <algorithm>
#include <map>
#include <string>
#include <vector>
#include "monitor/program_list.h"
#include "tests/fakes/frames.h"

namespace {

using frames::Bytes;
using frames::Ipv4;
using frames::Ports;

// "pid sent/received" per row, "other" for Other traffic.
std::string RowsText(const ProgramList& list, HistorySpan span)
{
    ProgramRow rows[PROGRAM_MAX + 1];
    int count = list.Rows(span, rows);
    std::string text;
    for (int i = 0; i < count; ++i) {
        if (i > 0)
            text += ", ";
        text += rows[i].index == PROGRAM_OTHER ? std::string("other") : std::to_string(list.KeyOf(rows[i].index).pid);
        text += " " + std::to_string(rows[i].sent) + "/" + std::to_string(rows[i].received);
    }
    return text;
}

// The processes as the system would answer: id to creation time.
std::map<uint32_t, uint64_t> processes;
int processLookups = 0;

ProcessKey KeyOfProcess(void*, uint32_t pid)
{
    ++processLookups;
    return ProcessKey{ pid, processes[pid] };
}

OwnerRow Row(unsigned protocol, unsigned port, uint32_t pid)
{
    OwnerRow row = {};
    row.protocol = protocol;
    row.localPort = port;
    row.pid = pid;
    return row;
}

// A TCP row with its local address and peer (IPv4, as the rows hold them:
// ::ffff:a.b.c.d).
OwnerRow Connection(const Bytes& local, unsigned port, const Bytes& remote, unsigned remotePort, uint32_t pid)
{
    OwnerRow row = Row(PORT_TCP, port, pid);
    const unsigned char mapped[12] = { 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff };
    std::copy(mapped, mapped + 12, row.local);
    std::copy(local.begin(), local.end(), row.local + 12);
    std::copy(mapped, mapped + 12, row.remote);
    std::copy(remote.begin(), remote.end(), row.remote + 12);
    row.remotePort = remotePort;
    return row;
}

PortTraffic traffic;
PortReader reader;
ProgramList list;

} // namespace

TEST(ProgramList, PortsToProgramsSecondBySecond)
{
    const Bytes adapter = { 192, 168, 1, 10 };
    const Bytes server = { 203, 0, 113, 7 };
    const Bytes peer = { 198, 51, 100, 1 };
    const OwnEnds own = { true, { 192, 168, 1, 10 }, nullptr };
    const ProcessLookup lookup = { KeyOfProcess, nullptr };
    processes = { { 1200, 11 }, { 1300, 13 }, { PID_SYSTEM, 1 } };
    std::vector<OwnerRow> rows = { Row(PORT_TCP, 50000, 1200), Row(PORT_UDP, 5353, 1300), Row(PORT_UDP, 5354, 1300),
                                   Row(PORT_TCP, 445, PID_SYSTEM), Row(PORT_TCP, 50001, PID_IDLE) };
    struct Frame {
        Bytes bytes;
        uint32_t length;
    };
    const struct {
        const char* name;
        std::vector<Frame> frames;
        bool look;
        std::map<uint32_t, uint64_t> processes;  // changes before the look
        std::vector<OwnerRow> rows;              // the tables from this phase on; empty: as before
        bool unknownBeforeLook;
        std::vector<uint32_t> newPrograms;
        const char* minute;
    } phases[] = {
        { "before the first look only Other traffic is known",
          { { Ipv4(6, adapter, server, Ports(50000, 443)), 300 }, { Ipv4(17, server, adapter, Ports(53, 5353)), 150 },
            { Ipv4(17, server, adapter, Ports(53, 5354)), 50 }, { Ipv4(1, server, adapter, Ports(0, 0)), 100 } },
          false, {}, {}, true, {}, "other 0/100" },
        { "the look names the ports' programs, the pending bytes with them",
          {}, true, {}, {}, true, { 1200, 1300 }, "1200 300/0, 1300 0/200, other 0/100" },
        { "known ports count at once",
          { { Ipv4(6, server, adapter, Ports(443, 50000)), 500 } }, false, {}, {}, false, {},
          "1200 300/500, 1300 0/200, other 0/100" },
        { "a port no row has, PID 0 and PID 4",
          { { Ipv4(17, adapter, server, Ports(7000, 53)), 50 }, { Ipv4(6, adapter, server, Ports(50001, 443)), 40 },
            { Ipv4(6, server, adapter, Ports(50000, 445)), 30 } },
          true, {}, {}, true, { PID_SYSTEM }, "1200 300/500, 1300 0/200, 4 0/30, other 90/100" },
        { "a reused id with another creation time is another program",
          { { Ipv4(6, adapter, server, Ports(50000, 443)), 20 } }, true, { { 1200, 99 } }, {}, false, { 1200 },
          "1200 320/500, 1300 0/200, 4 0/30, other 90/100" },
        { "the new process's traffic goes to it",
          { { Ipv4(6, adapter, server, Ports(50000, 443)), 10 } }, false, {}, {}, false, {},
          "1200 320/500, 1300 0/200, 4 0/30, 1200 10/0, other 90/100" },
        { "a port quiet over a look is looked up afresh: another program took it",
          { { Ipv4(17, server, adapter, Ports(53, 5353)), 60 } }, true, { { 1400, 14 } },
          { Row(PORT_TCP, 50000, 1200), Row(PORT_UDP, 5353, 1400) }, true, { 1400 },
          "1200 320/500, 1300 0/200, 1400 0/60, 4 0/30, 1200 10/0, other 90/100" },
        { "two processes' connections on one port: the peer's process has its traffic",
          { { Ipv4(6, peer, adapter, Ports(51001, 8080)), 70 } }, true, { { 1600, 16 }, { 1700, 17 } },
          { Row(PORT_TCP, 8080, 1500), Connection(adapter, 8080, server, 51000, 1600),
            Connection(adapter, 8080, peer, 51001, 1700) },
          true, { 1700 }, "1200 320/500, 1300 0/200, 1700 0/70, 1400 0/60, 4 0/30, 1200 10/0, other 90/100" },
        { "a closing connection (PID 0) listed before the port's live socket",
          { { Ipv4(6, peer, adapter, Ports(51002, 8081)), 80 } }, true, { { 1800, 18 } },
          { Connection(adapter, 8081, server, 51000, PID_IDLE), Row(PORT_TCP, 8081, 1800) }, true, { 1800 },
          "1200 320/500, 1300 0/200, 1800 0/80, 1700 0/70, 1400 0/60, 4 0/30, 1200 10/0, other 90/100" },
    };
    reader.Clear(traffic, &list);
    processLookups = 0;
    for (const auto& phase : phases) {
        SCOPED_TRACE(phase.name);
        for (const Frame& frame : phase.frames)
            traffic.Count(frame.bytes.data(), frame.bytes.size(), frame.length, own);
        reader.Tick(traffic, &list);
        EXPECT_EQ(phase.unknownBeforeLook, reader.UnknownWithTraffic());
        if (!phase.rows.empty())
            rows = phase.rows;
        if (phase.look) {
            for (const auto& process : phase.processes)
                processes[process.first] = process.second;
            std::vector<int> added;
            reader.Look(traffic, rows, lookup, &list, &added);
            std::vector<uint32_t> pids;
            for (int index : added)
                pids.push_back(list.KeyOf(index).pid);
            EXPECT_EQ(phase.newPrograms, pids);
            EXPECT_FALSE(reader.UnknownWithTraffic());
        }
        EXPECT_EQ(phase.minute, RowsText(list, SPAN_MINUTE));
    }
    // Once per process and look: 1200 and 1300 (two ports), 4 and 1200,
    // 1200, 1200 and 1400, 1700, 1800.
    EXPECT_EQ(9, processLookups);
}

TEST(ProgramList, SpansAndTheSixtyFifthProgram)
{
    static ProgramList programs;
    bool added = false;
    int folded = 0;
    for (uint32_t pid = 1000; pid < 1000 + PROGRAM_MAX; ++pid) {
        int index = programs.IndexOf(ProcessKey{ pid, 1 }, &added, &folded);
        EXPECT_TRUE(added);
        EXPECT_EQ(-1, folded);
        programs.Add(index, PORT_SENT, 1);
    }
    // The first program had traffic again: the second is the least recent.
    programs.Add(0, PORT_RECEIVED, 100);
    int index = programs.IndexOf(ProcessKey{ 2000, 1 }, &added, &folded);
    EXPECT_TRUE(added);
    EXPECT_EQ(1, index);
    EXPECT_EQ(1, folded);
    programs.Add(index, PORT_RECEIVED, 7);
    ProgramRow rows[PROGRAM_MAX + 1];
    ASSERT_EQ(PROGRAM_MAX + 1, programs.Rows(SPAN_MINUTE, rows));
    EXPECT_EQ(1000u, programs.KeyOf(rows[0].index).pid);
    EXPECT_EQ(2000u, programs.KeyOf(rows[1].index).pid);
    EXPECT_EQ(7u, rows[1].received);
    EXPECT_EQ(PROGRAM_OTHER, rows[PROGRAM_MAX].index);
    EXPECT_EQ(1u, rows[PROGRAM_MAX].sent);  // the folded program's byte

    static ProgramList span;
    int five = span.IndexOf(ProcessKey{ 5, 1 }, &added, &folded);
    span.Add(five, PORT_RECEIVED, 100);
    const struct {
        int seconds;
        const char* minute;
        const char* tenMinutes;
    } steps[] = {
        { 0, "5 0/100", "5 0/100" },
        { 59, "5 0/100", "5 0/100" },
        { 1, "", "5 0/100" },
        { 539, "", "5 0/100" },
        { 1, "", "" },
    };
    for (const auto& step : steps) {
        for (int i = 0; i < step.seconds; ++i)
            span.NextSecond();
        SCOPED_TRACE(step.seconds);
        EXPECT_EQ(step.minute, RowsText(span, SPAN_MINUTE));
        EXPECT_EQ(step.tenMinutes, RowsText(span, SPAN_TEN_MINUTES));
    }
}

TEST(ProgramList, PortsOfAFoldedProgramAreLookedUpAgain)
{
    static PortTraffic counters;
    static PortReader ports;
    static ProgramList programs;
    const OwnEnds own = { true, { 192, 168, 1, 10 }, nullptr };
    const Bytes server = { 203, 0, 113, 7 };
    const ProcessLookup lookup = { KeyOfProcess, nullptr };
    processes.clear();
    std::vector<OwnerRow> rows;
    for (unsigned i = 0; i <= PROGRAM_MAX; ++i)
        rows.push_back(Row(PORT_UDP, 10000 + i, 3000 + i));
    ports.Clear(counters, &programs);
    std::vector<int> added;
    // 65 programs' ports in one second: the 65th takes the first's place.
    for (unsigned i = 0; i <= PROGRAM_MAX; ++i) {
        Bytes frame = Ipv4(17, server, { 192, 168, 1, 10 }, Ports(53, static_cast<uint16_t>(10000 + i)));
        counters.Count(frame.data(), frame.size(), 1, own);
    }
    ports.Tick(counters, &programs);
    ports.Look(counters, rows, lookup, &programs, &added);
    EXPECT_EQ(3064u, programs.KeyOf(0).pid);
    // The first program's port again: its owner is looked up, not taken
    // from the place the 65th program now holds.
    Bytes again = Ipv4(17, server, { 192, 168, 1, 10 }, Ports(53, 10000));
    counters.Count(again.data(), again.size(), 500, own);
    ports.Tick(counters, &programs);
    EXPECT_TRUE(ports.UnknownWithTraffic());
    ports.Look(counters, rows, lookup, &programs, &added);
    ProgramRow top[PROGRAM_MAX + 1];
    ASSERT_LT(0, programs.Rows(SPAN_MINUTE, top));
    EXPECT_EQ(3000u, programs.KeyOf(top[0].index).pid);
    EXPECT_EQ(500u, top[0].received);
}

TEST(ProgramList, ASecondAcrossACountersWrap)
{
    static PortTraffic counters;
    static PortReader ports;
    static ProgramList programs;
    const OwnEnds own = { true, { 192, 168, 1, 10 }, nullptr };
    const ProcessLookup lookup = { KeyOfProcess, nullptr };
    processes = { { 1300, 13 } };
    const Bytes frame = Ipv4(17, { 203, 0, 113, 7 }, { 192, 168, 1, 10 }, Ports(53, 5353));
    counters.Count(frame.data(), frame.size(), 0xFFFFFF00u, own);
    ports.Clear(counters, &programs);
    // 0x100 bytes to 2^32, 0x100 past it.
    counters.Count(frame.data(), frame.size(), 0x200u, own);
    ports.Tick(counters, &programs);
    std::vector<int> added;
    ports.Look(counters, { Row(PORT_UDP, 5353, 1300) }, lookup, &programs, &added);
    EXPECT_EQ("1300 0/512", RowsText(programs, SPAN_MINUTE));
}
