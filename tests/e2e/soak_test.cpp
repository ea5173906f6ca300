// Soak: the replayed traffic, without gaps, through NetGlow.exe with logging
// on. Every line must be on disk, whole and in order; handles, GDI and USER
// objects and private memory must not grow between the first and the last
// tenth of the run; the lamp must end idle after the last frame.
//
// NETGLOW_SOAK_FRAMES sets the number of frames (a multiple of the 10 frames
// of traffic.pcap); the suite runs 200000 (a few seconds under Wine), the
// full soak by hand is
//   scripts/soak.sh 1000000
#include "e2e_common.h"
#define PSAPI_VERSION 2 // GetProcessMemoryInfo from kernel32, no psapi.dll import
#include <psapi.h>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

struct Sample {
    DWORD handles = 0;
    DWORD gdi = 0;
    DWORD user = 0;
    SIZE_T privateBytes = 0;
    SIZE_T workingSet = 0;
};

Sample Take(HANDLE process)
{
    Sample s;
    s.handles = ProcessHandleCount(process);
    s.gdi = GetGuiResources(process, GR_GDIOBJECTS);
    s.user = GetGuiResources(process, GR_USEROBJECTS);
    PROCESS_MEMORY_COUNTERS_EX memory;
    ZeroMemory(&memory, sizeof memory);
    if (GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory)) {
        // Wine leaves PrivateUsage 0 for other processes; on Windows the
        // page-file usage is the same figure.
        s.privateBytes = memory.PrivateUsage != 0 ? memory.PrivateUsage : memory.PagefileUsage;
        s.workingSet = memory.WorkingSetSize;
    }
    return s;
}

void Print(const char* when, const Sample& s)
{
    std::printf("%-6s handles %lu, GDI %lu, USER %lu, private %lu KB, working set %lu KB\n", when,
                static_cast<unsigned long>(s.handles), static_cast<unsigned long>(s.gdi),
                static_cast<unsigned long>(s.user), static_cast<unsigned long>(s.privateBytes / 1024),
                static_cast<unsigned long>(s.workingSet / 1024));
}

// The run-time and Wine keep some memory in pools that grow in steps; more
// than this between the two samples is growth with the traffic.
const SIZE_T PRIVATE_SLACK = 256 * 1024;

} // namespace

TEST_F(E2E, SoakLogsEveryFrameInOrderWithoutGrowth)
{
    const char* setting = std::getenv("NETGLOW_SOAK_FRAMES");
    const unsigned long frames = setting ? std::strtoul(setting, nullptr, 10) : 200000;
    const std::string cycle = TrafficLog();
    size_t cycleLines = 0;
    for (char c : cycle)
        cycleLines += c == '\n';
    ASSERT_EQ(10u, cycleLines);
    ASSERT_EQ(0u, frames % cycleLines) << "NETGLOW_SOAK_FRAMES must be a multiple of 10";
    const unsigned long repeat = frames / cycleLines;
    const unsigned long long total = static_cast<unsigned long long>(repeat) * cycle.size();

    SetControl("replay=" + SourcePath("tests\\fixtures\\e2e\\traffic.pcap") + "\r\nreplay_repeat="
               + std::to_string(repeat) + "\r\n");
    StartWith(StandardKeys("Ethernet", "0", "0"));
    ASSERT_TRUE(ng.Command(CMD_LOG_START));
    DWORD start = GetTickCount();
    ASSERT_TRUE(ng.Command(CMD_MONITOR_START));

    // Bounded by a rate well below anything seen: 5000 frames a second.
    const DWORD limitMs = 60000 + static_cast<DWORD>(frames / 5000) * 1000;
    Sample first, last;
    bool haveFirst = false, haveLast = false;
    unsigned long long size = 0;
    while ((size = FileSize(ng.logPath)) < total) {
        ASSERT_LT(GetTickCount() - start, limitMs) << size << " of " << total << " bytes logged";
        if (!haveFirst && size >= total / 10) {
            first = Take(ng.process);
            haveFirst = true;
        }
        if (!haveLast && size >= total - total / 10) {
            last = Take(ng.process);
            haveLast = true;
        }
        Sleep(1);
    }
    DWORD elapsed = GetTickCount() - start;
    EXPECT_TRUE(WaitForLamp(ICON_IDLE)) << "the lamp stays lit after the last frame";
    Sample end = Take(ng.process);
    std::printf("%lu frames in %lu ms: %.0f frames/s with logging on\n", frames,
                static_cast<unsigned long>(elapsed), frames * 1000.0 / (elapsed ? elapsed : 1));
    ASSERT_TRUE(haveFirst && haveLast) << "the run was too short to sample";
    Print("10%", first);
    Print("90%", last);
    Print("end", end);

    // One log file may be open at the moment of a sample.
    EXPECT_LE(last.handles, first.handles + 1);
    EXPECT_LE(last.gdi, first.gdi);
    EXPECT_LE(last.user, first.user);
    EXPECT_LE(last.privateBytes, first.privateBytes + PRIVATE_SLACK);

    ASSERT_TRUE(ng.Command(CMD_MONITOR_STOP));
    EXPECT_TRUE(WaitForLamp(ICON_STOPPED));
    Quit();

    // Every line, whole and in order: the cycle repeated, nothing else.
    std::FILE* log = std::fopen(ng.logPath.c_str(), "rb");
    ASSERT_NE(nullptr, log);
    std::string chunk(cycle.size(), '\0');
    unsigned long mismatches = 0, firstMismatch = 0;
    for (unsigned long i = 0; i < repeat; ++i) {
        size_t got = std::fread(&chunk[0], 1, chunk.size(), log);
        if (got != chunk.size() || chunk != cycle) {
            if (mismatches++ == 0)
                firstMismatch = i;
        }
    }
    char extra[400] = "";
    size_t extraBytes = std::fread(extra, 1, sizeof extra - 1, log);
    EXPECT_EQ(0u, extraBytes) << "more than the frames replayed, beginning with: " << extra;
    std::fclose(log);
    EXPECT_EQ(0ul, mismatches) << "first differing cycle " << firstMismatch;
}
