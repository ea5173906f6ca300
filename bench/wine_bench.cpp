// Figures of NetGlow.exe under Wine, with the fake capture library replaying
// traffic.pcap: start to tray icon, packets per second and CPU time per
// packet with logging off and on, working set idle and monitoring, Monitor
// stop to the stopped lamp, CPU used while monitoring a quiet adapter, the
// GUI thread's CPU with the traffic graph open, and with its list of
// programs fed by 200 ports' traffic and 1,000 stood-in owner-table rows.
// Beside them, anchors measured in the same run: Wine's own notepad.exe
// (working set and start to window) and the smallest tray program linked like
// NetGlow.exe, bench/wine_floor.cpp (working set).
//
// Built and run by scripts/bench-wine.sh.
#include <windows.h>
#define PSAPI_VERSION 2
#include <psapi.h>
#include <commctrl.h>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>
#include "process_times.h"
#include "res/resource.h"
#include "support/netglow_process.h"
#include "tests/fakes/frames.h"

namespace {

const char* const ETHERNET = "\\Device\\NPF_{6E0B1A52-1C3D-4C8B-9A11-0F2E3D4C5B6A}";

double Ms(LARGE_INTEGER from, LARGE_INTEGER to)
{
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return (to.QuadPart - from.QuadPart) * 1000.0 / f.QuadPart;
}
LARGE_INTEGER Now()
{
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return t;
}

double WorkingSetMB(HANDLE process)
{
    PROCESS_MEMORY_COUNTERS memory;
    ZeroMemory(&memory, sizeof memory);
    GetProcessMemoryInfo(process, &memory, sizeof memory);
    return memory.WorkingSetSize / 1048576.0;
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

void SeedStandardRegistry()
{
    SeedRegistry({ { "{6E0B1A52-1C3D-4C8B-9A11-0F2E3D4C5B6A}", "Ethernet" },
                   { "{9F8E7D6C-5B4A-4392-8170-A1B2C3D4E5F6}", "Lab Network" } });
}

std::string Settings(const char* startOpt)
{
    return SettingsFile({ { "WaitTime", "100" }, { "WaitCount", "50" }, { "WaitFlag", "1" },
                          { "CardName", "Ethernet" }, { "CardIndex", "0" }, { "InitOpt", "-1" },
                          { "StartOpt", startOpt }, { "NowOpt", "0" }, { "ColorSend", "1" },
                          { "ColorRecv", "2" }, { "TimeoutP", "20" } });
}

struct Run {
    NetGlowProcess ng;
    bool Start(const std::string& control, const char* startOpt = "0")
    {
        ng.ipconfigReport = SourcePath("tests\\fixtures\\e2e\\ipconfig_win10.txt");
        WriteWholeFile(ng.wpcapControl, std::string("device=") + ETHERNET + "\r\ncalls=" + ng.wpcapCalls
                                            + "\r\n" + control);
        WriteWholeFile(ng.settingsPath, Settings(startOpt));
        return ng.Start() && ng.WaitForMainWindow() != nullptr;
    }
    void Control(const std::string& control)
    {
        WriteWholeFile(ng.wpcapControl, std::string("device=") + ETHERNET + "\r\ncalls=" + ng.wpcapCalls
                                            + "\r\n" + control);
    }
    void Quit()
    {
        ng.Command(CMD_QUIT);
        ng.WaitForExit();
    }
};

// Frames through the program at full speed: the replay ends with a loop
// failure, whose message box marks the moment the last frame has been
// handled. The fake library counts the program's calls to the shell.
void Throughput(unsigned frames, bool logging)
{
    Run run;
    if (!run.Start(""))
        return;
    run.Control("replay=" + SourcePath("tests\\fixtures\\e2e\\traffic.pcap") + "\r\nreplay_repeat="
                + std::to_string(frames / 10) + "\r\nloop_fail_after=" + std::to_string(frames)
                + "\r\ncount_shell_calls=1\r\n");
    if (logging)
        run.ng.Command(CMD_LOG_START);
    double cpu0 = CpuMs(run.ng.process);
    LARGE_INTEGER t0 = Now();
    run.ng.Command(CMD_MONITOR_START);
    SeenMessageBox box;
    bool ended = WaitForMessageBoxOf(run.ng.processId, &box, 600000);
    LARGE_INTEGER t1 = Now();
    double cpu1 = CpuMs(run.ng.process);
    double ws = WorkingSetMB(run.ng.process);
    if (ended)
        AnswerMessageBox(box, IDOK);
    WaitForLampOnScreen(ICON_STOPPED, 10000); // the run closed its handle: the count is in
    double ms = Ms(t0, t1);
    std::string calls = ReadFileBytes(run.ng.wpcapCalls);
    size_t at = calls.rfind("shell_notify_calls ");
    long shell = at == std::string::npos ? -1 : std::atol(calls.c_str() + at + 19);
    std::printf("logging %-3s  %u frames in %.0f ms: %.0f frames/s, CPU %.2f us/frame, working set %.1f MB%s\n"
                "             Shell_NotifyIconA: %ld calls, %.1f per second (lamp time 20 ms)\n",
                logging ? "on" : "off", frames, ms, frames * 1000.0 / ms,
                (cpu1 - cpu0) * 1000.0 / frames, ws, ended ? "" : " (NO END SEEN)", shell,
                shell * 1000.0 / ms);
    if (logging) {
        // Every line, in order: the ten lines of the replay, repeated.
        std::string cycle = ReadFileBytes(SourcePath("tests\\fixtures\\e2e\\traffic_expected.log"));
        std::string log = ReadFileBytes(run.ng.logPath);
        size_t good = 0;
        while (good < frames / 10 && log.compare(good * cycle.size(), cycle.size(), cycle) == 0)
            ++good;
        std::printf("             %s: %zu of %u cycles of ten lines in order, %zu bytes\n",
                    good == frames / 10 && log.size() == good * cycle.size() ? "log complete" : "LOG WRONG",
                    good, frames / 10, log.size());
    }
    run.Quit();
}

// From the fake library handing over a single frame after an idle gap to the
// lit lamp on screen.
void LampLatency(int samples)
{
    Run run;
    if (!run.Start("replay=" + SourcePath("tests\\fixtures\\e2e\\traffic.pcap")
                   + "\r\nreplay_repeat=1000\r\nreplay_gap_us=300000\r\nlog_handover=1\r\ncount_shell_calls=1\r\n"))
        return;
    run.ng.Command(CMD_MONITOR_START);
    std::vector<double> lit;
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    for (int i = 0; i < samples; ++i) {
        if (!WaitForLampOnScreen(ICON_IDLE, 5000))
            break;
        DWORD start = GetTickCount();
        int lamp = 0;
        while ((lamp = LampOnScreen()) != ICON_RED && lamp != ICON_YELLOW && GetTickCount() - start < 5000) {
        }
        lit.push_back(Now().QuadPart * 1000.0 / frequency.QuadPart);
    }
    run.ng.Command(CMD_MONITOR_STOP);
    std::string calls = ReadFileBytes(run.ng.wpcapCalls);
    auto times = [&calls](const char* word) {
        std::vector<double> found;
        size_t length = std::strlen(word);
        for (size_t at = calls.find(word); at != std::string::npos; at = calls.find(word, at + 1))
            found.push_back(std::atof(calls.c_str() + at + length));
        return found;
    };
    std::vector<double> handed = times("handover "), notified = times("notify ");
    // For each lamp seen lit: the hand-over before it, and the program's own
    // share, from that hand-over to its image change reaching the shell.
    std::vector<double> toScreen, toShell;
    for (double t : lit) {
        double last = -1;
        for (double h : handed)
            if (h <= t)
                last = h;
        if (last < 0)
            continue;
        toScreen.push_back(t - last);
        for (double n : notified)
            if (n >= last) {
                toShell.push_back(n - last);
                break;
            }
    }
    auto report = [](const char* what, std::vector<double> v) {
        std::sort(v.begin(), v.end());
        if (!v.empty())
            std::printf("lamp latency, %s: median %.1f ms, worst %.1f ms of %zu\n", what, v[v.size() / 2],
                        v.back(), v.size());
    };
    report("frame handed over to the image change sent to the shell (the program)", toShell);
    report("frame handed over to lit lamp on screen", toScreen);
    run.Quit();
}

// unnamed: a second device that neither the report nor the registry knows,
// so that start-up also asks the IP Helper.
void StartToIcon(int rounds, bool unnamed = false)
{
    std::vector<double> window, icon, ws;
    for (int i = 0; i < rounds; ++i) {
        Run run;
        run.ng.ipconfigReport = SourcePath("tests\\fixtures\\e2e\\ipconfig_win10.txt");
        WriteWholeFile(run.ng.wpcapControl,
                       std::string("device=") + ETHERNET + "\r\n"
                           + (unnamed ? "device=\\Device\\NPF_{0BADF00D-0000-4000-8000-000000000001}\r\n" : ""));
        WriteWholeFile(run.ng.settingsPath, Settings("0"));
        LARGE_INTEGER t0 = Now();
        if (!run.ng.Start())
            return;
        WaitForLampOnScreen(ICON_STOPPED, 30000);
        icon.push_back(Ms(t0, Now()));
        run.ng.WaitForMainWindow();
        window.push_back(Ms(t0, Now()));
        Sleep(1000); // settle before the idle working set
        ws.push_back(WorkingSetMB(run.ng.process));
        run.Quit();
        WaitForLampOnScreen(0, 10000);
    }
    std::printf("start to tray icon on screen%s: median %.0f ms of %d; to idle in the message loop %.0f ms\n",
                unnamed ? " (a device the report does not name)" : "", Median(icon), rounds, Median(window));
    std::printf("working set idle (monitoring off): %.1f MB\n", Median(ws));
}

void StopToStoppedLamp(int rounds, bool traffic)
{
    Run run;
    if (!run.Start(traffic ? "replay=" + SourcePath("tests\\fixtures\\e2e\\traffic.pcap")
                                 + "\r\nreplay_repeat=1000000\r\nreplay_gap_us=5000\r\n"
                           : ""))
        return;
    std::vector<double> command, lamp;
    for (int i = 0; i < rounds; ++i) {
        run.ng.Command(CMD_MONITOR_START);
        WaitForLampOnScreen(traffic ? ICON_RED : ICON_IDLE, 10000);
        LARGE_INTEGER t0 = Now();
        run.ng.Command(CMD_MONITOR_STOP);
        command.push_back(Ms(t0, Now()));
        WaitForLampOnScreen(ICON_STOPPED, 10000);
        lamp.push_back(Ms(t0, Now()));
    }
    std::printf("Monitor stop %s: command returns in %.0f ms (max %.0f), stopped lamp on screen after %.0f ms (max %.0f), %d rounds\n",
                traffic ? "during traffic" : "on a quiet adapter", Median(command),
                *std::max_element(command.begin(), command.end()), Median(lamp),
                *std::max_element(lamp.begin(), lamp.end()), rounds);
    run.Quit();
}

void QuietCpu(int seconds)
{
    Run run;
    if (!run.Start(""))
        return;
    run.ng.Command(CMD_MONITOR_START);
    WaitForLampOnScreen(ICON_IDLE, 10000);
    Sleep(2000);
    double ws = WorkingSetMB(run.ng.process);
    double cpu0 = CpuMs(run.ng.process);
    Sleep(seconds * 1000);
    double cpu1 = CpuMs(run.ng.process);
    std::printf("quiet adapter, monitoring: %.1f ms CPU in %d s (capture read time-out 1000 ms); working set %.1f MB\n",
                cpu1 - cpu0, seconds, ws);
    run.Quit();
}

// CPU of the GUI thread while monitoring, first with the traffic graph
// closed (the anchor: lamp, tip and rate tick), then open at its
// once-a-second updates. On a quiet adapter the rest of the GUI thread's work is nearly nil, so the
// difference is the graph's own; with traffic, the lamp's image changes
// dominate.
// The GUI thread's CPU in ms per second over `seconds`, after settleMs for
// what the last command set going.
double GuiCpuPerSecond(HANDLE gui, DWORD settleMs, int seconds)
{
    Sleep(settleMs);
    double before = ThreadCpuMs(gui);
    Sleep(static_cast<DWORD>(seconds) * 1000);
    return (ThreadCpuMs(gui) - before) / seconds;
}

void GraphCpu(int seconds, bool traffic)
{
    Run run;
    if (!run.Start(traffic ? "replay=" + SourcePath("tests\\fixtures\\e2e\\traffic.pcap")
                                 + "\r\nreplay_repeat=1000000\r\nreplay_gap_us=2000\r\n"
                           : ""))
        return;
    HANDLE gui = OpenThread(THREAD_QUERY_INFORMATION, FALSE, GetWindowThreadProcessId(run.ng.window, nullptr));
    run.ng.Command(CMD_MONITOR_START);
    double closed = GuiCpuPerSecond(gui, 2000, seconds);
    run.ng.Command(CMD_TRAFFIC_GRAPH);
    HWND graph = FindProcessWindow(run.ng.processId, "NetGlowGraph", nullptr, true);
    double open = GuiCpuPerSecond(gui, 2000, seconds);
    std::printf("GUI thread CPU while monitoring %s: graph closed %.2f ms/s, graph open %.2f ms/s%s\n",
                traffic ? "traffic (~500 frames/s)" : "a quiet adapter", closed, open,
                graph ? "" : " (NO GRAPH WINDOW)");
    CloseHandle(gui);
    run.Quit();
}

// 200 ports with traffic, every frame sent by 192.168.1.10 so that the lamp
// keeps one colour: TCP 40000-40099 and UDP 45000-45099, 100 bytes each,
// the ports the fake library's stood-in owner tables hold.
std::string PortsCapture()
{
    std::string pcap;
    auto put = [&pcap](uint32_t value) { pcap.append(reinterpret_cast<const char*>(&value), 4); };
    for (uint32_t value : { 0xa1b2c3d4u, 0x00040002u, 0u, 0u, 65535u, 1u })
        put(value);
    for (int i = 0; i < 200; ++i) {
        uint16_t port = static_cast<uint16_t>(i < 100 ? 40000 + i : 45000 + i - 100);
        frames::Bytes frame = frames::Ipv4(i < 100 ? 6 : 17, { 192, 168, 1, 10 }, { 203, 0, 113, 7 },
                                           frames::Ports(port, 443));
        frame.resize(100);
        for (uint32_t value : { 1700000000u, 0u, 100u, 100u })
            put(value);
        pcap.append(frame.begin(), frame.end());
    }
    return pcap;
}

// The GUI thread's CPU with the graph and its list open while 200 ports
// have traffic (500 frames/s) and the owner tables hold 1,000 rows; a build
// without the list reads no tables and shows none.
void ProgramsCpu(int seconds)
{
    char folder[MAX_PATH];
    GetTempPathA(MAX_PATH, folder);
    std::string capture = std::string(folder) + "netglow-bench-ports.pcap";
    WriteWholeFile(capture, PortsCapture());
    Run run;
    if (!run.Start("owner_rows=1000\r\nreplay=" + capture + "\r\nreplay_repeat=1000000\r\nreplay_gap_us=2000\r\n"))
        return;
    HANDLE gui = OpenThread(THREAD_QUERY_INFORMATION, FALSE, GetWindowThreadProcessId(run.ng.window, nullptr));
    run.ng.Command(CMD_MONITOR_START);
    run.ng.Command(CMD_TRAFFIC_GRAPH);
    HWND graph = FindProcessWindow(run.ng.processId, "NetGlowGraph", nullptr, true);
    double cpu = GuiCpuPerSecond(gui, 3000, seconds);
    double ws = WorkingSetMB(run.ng.process);
    HWND list = graph != nullptr ? FindWindowExA(graph, nullptr, "SysListView32", nullptr) : nullptr;
    LRESULT rows = list != nullptr ? SendMessageA(list, LVM_GETITEMCOUNT, 0, 0) : -1;
    std::printf("GUI thread CPU, graph open, 200 ports with traffic (500 frames/s), 1000 owner rows: %.2f ms/s; "
                "working set %.1f MB; list rows %ld%s\n",
                cpu, ws, static_cast<long>(rows), graph ? "" : " (NO GRAPH WINDOW)");
    CloseHandle(gui);
    run.Quit();
}

// Anchor: Wine's own notepad, a small window program, on the same desktop.
void NotepadAnchor()
{
    STARTUPINFOA startup;
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info;
    char command[] = "notepad.exe";
    LARGE_INTEGER t0 = Now();
    if (!CreateProcessA(nullptr, command, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
        return;
    WaitForInputIdle(info.hProcess, 30000);
    double ms = Ms(t0, Now());
    Sleep(1000);
    std::printf("anchor notepad.exe: start to idle %.0f ms, working set %.1f MB\n", ms,
                WorkingSetMB(info.hProcess));
    TerminateProcess(info.hProcess, 0);
    WaitForSingleObject(info.hProcess, 10000);
    CloseHandle(info.hProcess);
    CloseHandle(info.hThread);
}

// Anchor: the smallest tray program, linked like NetGlow.exe. With
// cpuSeconds, the CPU of its thread over that time, its arguments making it
// wake as the lamp does (see wine_floor.cpp).
void FloorAnchor(const char* arguments = "", int cpuSeconds = 0)
{
    STARTUPINFOA startup;
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info;
    std::string exe = BuildPath("bench\\wine_floor.exe");
    std::string command = "\"" + exe + "\" " + arguments;
    if (!CreateProcessA(exe.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
        return;
    WaitForInputIdle(info.hProcess, 30000);
    HWND window = FindProcessWindow(info.dwProcessId, "NetGlowFloor", nullptr, false);
    if (cpuSeconds > 0) {
        HANDLE thread = OpenThread(THREAD_QUERY_INFORMATION, FALSE, GetWindowThreadProcessId(window, nullptr));
        double cpu = GuiCpuPerSecond(thread, 3000, cpuSeconds);
        std::printf("anchor wine_floor.exe %s: its thread's CPU %.2f ms/s\n", arguments, cpu);
        CloseHandle(thread);
    } else {
        Sleep(1000);
        std::printf("anchor wine_floor.exe (window, tray icon, message loop): working set %.1f MB\n",
                    WorkingSetMB(info.hProcess));
    }
    if (window != nullptr)
        PostMessageA(window, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(info.hProcess, 10000) != WAIT_OBJECT_0)
        TerminateProcess(info.hProcess, 0);
    CloseHandle(info.hProcess);
    CloseHandle(info.hThread);
}

} // namespace

int main(int argc, char** argv)
{
    // "startup": the anchors and the start-up figures only.
    bool startupOnly = argc > 1 && std::strcmp(argv[1], "startup") == 0;
    unsigned frames = argc > 1 && !startupOnly ? static_cast<unsigned>(std::strtoul(argv[1], nullptr, 10)) : 1000000;
    frames -= frames % 10;
    SeedStandardRegistry();
    // "list": the busy list case alone, over a minute, for rounds of
    // several builds in turn (the thread times count in 10 ms steps).
    if (argc > 1 && std::strcmp(argv[1], "list") == 0) {
        ProgramsCpu(60);
        FloorAnchor("timer=30 shown", 60);
        return 0;
    }
    NotepadAnchor();
    FloorAnchor();
    StartToIcon(5);
    StartToIcon(5, true);
    if (startupOnly)
        return 0;
    if (argc > 1 && std::strcmp(argv[1], "latency") == 0) {
        LampLatency(50);
        return 0;
    }
    if (argc > 1 && std::strcmp(argv[1], "graph") == 0) {
        GraphCpu(20, false);
        GraphCpu(20, true);
        return 0;
    }
    if (argc > 1 && std::strcmp(argv[1], "programs") == 0) {
        QuietCpu(10);
        GraphCpu(20, false);
        ProgramsCpu(20);
        return 0;
    }
    QuietCpu(10);
    Throughput(frames, false);
    Throughput(frames, true);
    LampLatency(50);
    StopToStoppedLamp(10, false);
    StopToStoppedLamp(10, true);
    return 0;
}
