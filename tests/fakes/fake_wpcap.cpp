// Test double of the capture library (wpcap.dll), with Npcap's immediate
// delivery: pcap_dispatch hands over the frames that have arrived, at most a
// driver buffer's worth (dispatch_batch), and waits one read time-out when
// none have. A control file, named by NETGLOW_FAKE_WPCAP, says which devices
// exist, which calls fail and which frames arrive; every call received can be
// logged to a file. Frames are loaded when the device is opened. For the
// benchmarks it can also stand in for the IP Helper's socket owner tables
// (owner_rows, owner), which Wine fills with owner 0.
#include <winsock2.h>
#include <windows.h>
#include <iphlpapi.h>
#include <pcap/pcap.h>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>
#include <shellapi.h>
#include "support/import_patch.h"
#include "support/notify_recorder.h"
#include "support/system_stand_ins.h"
#include "tests/fakes/owner_tables.h"
#include "tests/fakes/pcap_file.h"

struct pcap {
    std::atomic<int> breakRequested;
    HANDLE wake;
    std::string device;
    int snaplen;
    int promisc;
    int timeoutMs;
    int immediate;
    std::vector<PcapRecord> frames;
    int repeat;
    unsigned gapMicroseconds;
    long failAfter; // -1: never
    int batch;      // frames per read at most
    bool ignoreBreak;
    bool logHandover;
    std::string callsPath; // where calls on the handle go: named when it was opened
    // Replay position.
    int round;
    size_t next;
    long delivered;
    bool dispatchLogged;
    bool replayEndLogged;
};

namespace {

struct Control {
    std::vector<std::string> devices;
    bool findalldevsFails = false;
    std::string findalldevsError;
    bool openFails = false;
    bool lookupnetFails = false;
    std::string replay;
    int replayRepeat = 1;
    unsigned replayGapMicroseconds = 0;
    long loopFailAfter = -1;
    int dispatchBatch = 1000;
    bool ignoreBreak = false;
    bool countShellCalls = false;
    bool logHandover = false;
    bool logBalloons = false;
    bool boxWaitsForBreak = false;
    bool logLamps = false;
    int ownerRows = 0;
    std::vector<std::string> owners; // "TCP|UDP PORT PID|self"
    std::string callsPath;
};

// Re-read at each use so that a test can change it between calls.
Control ReadControl()
{
    Control control;
    char path[1024];
    DWORD length = GetEnvironmentVariableA("NETGLOW_FAKE_WPCAP", path, sizeof path);
    if (length == 0 || length >= sizeof path)
        return control;
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr)
        return control;
    char line[4096];
    while (std::fgets(line, sizeof line, file) != nullptr) {
        line[std::strcspn(line, "\r\n")] = '\0';
        char* equals = std::strchr(line, '=');
        if (equals == nullptr)
            continue;
        *equals = '\0';
        std::string key = line;
        const char* value = equals + 1;
        if (key == "device") {
            control.devices.push_back(value);
        } else if (key == "device_generated") {
            int count = 0, nameLength = 0;
            if (std::sscanf(value, "%d,%d", &count, &nameLength) != 2)
                continue;
            for (int i = 0; i < count; ++i) {
                std::string name = "\\Device\\NPF_{";
                std::string digits = std::to_string(control.devices.size());
                if (static_cast<int>(name.size() + digits.size()) < nameLength)
                    name.append(nameLength - name.size() - digits.size(), '0');
                control.devices.push_back(name + digits);
            }
        } else if (key == "findalldevs_error") {
            control.findalldevsFails = true;
            control.findalldevsError = value;
        } else if (key == "open_fail") {
            control.openFails = std::atoi(value) != 0;
        } else if (key == "lookupnet_fail") {
            control.lookupnetFails = std::atoi(value) != 0;
        } else if (key == "owner_rows") {
            control.ownerRows = std::atoi(value);
        } else if (key == "owner") {
            control.owners.push_back(value);
        } else if (key == "replay") {
            control.replay = value;
        } else if (key == "replay_repeat") {
            control.replayRepeat = std::atoi(value);
        } else if (key == "replay_gap_us") {
            control.replayGapMicroseconds = static_cast<unsigned>(std::strtoul(value, nullptr, 10));
        } else if (key == "loop_fail_after") {
            control.loopFailAfter = std::atol(value);
        } else if (key == "dispatch_batch") {
            control.dispatchBatch = std::atoi(value) > 0 ? std::atoi(value) : 1;
        } else if (key == "count_shell_calls") {
            control.countShellCalls = std::atoi(value) != 0;
        } else if (key == "log_lamps") {
            control.logLamps = std::atoi(value) != 0;
        } else if (key == "log_balloons") {
            control.logBalloons = std::atoi(value) != 0;
        } else if (key == "log_handover") {
            control.logHandover = std::atoi(value) != 0;
        } else if (key == "box_waits_for_break") {
            control.boxWaitsForBreak = std::atoi(value) != 0;
        } else if (key == "ignore_break") {
            control.ignoreBreak = std::atoi(value) != 0;
        } else if (key == "calls") {
            control.callsPath = value;
        }
    }
    std::fclose(file);
    return control;
}

// One line per call, appended in a single write (no lock, no C library).
void LogCall(const std::string& callsPath, const std::string& line)
{
    if (callsPath.empty())
        return;
    HANDLE file = CreateFileA(callsPath.c_str(), FILE_APPEND_DATA,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    std::string text = line + "\r\n";
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
}

void SetError(char* errbuf, const char* text)
{
    if (errbuf != nullptr)
        std::snprintf(errbuf, PCAP_ERRBUF_SIZE, "%s", text);
}

// Waits the gap between two frames; a break request cuts it short.
void WaitGap(pcap_t* p, unsigned microseconds)
{
    if (microseconds == 0)
        return;
    if (microseconds >= 1000) {
        WaitForSingleObject(p->wake, microseconds / 1000);
        return;
    }
    LARGE_INTEGER frequency, start, now;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    do {
        QueryPerformanceCounter(&now);
    } while (!p->breakRequested
             && (now.QuadPart - start.QuadPart) * 1000000 / frequency.QuadPart < microseconds);
}

int EndWithBreak(pcap_t* p)
{
    p->breakRequested = 0;
    ResetEvent(p->wake);
    return PCAP_ERROR_BREAK;
}

// What the program that loaded us hands to the shell: how often it calls it
// (for the benchmarks), and, each in the calls file named, the time of each
// image change (log_handover too), each balloon as a shell reads it (its
// icon and text only from a record large enough to carry them; log_balloons) and each
// lamp the icon is set to, 0 when it is deleted (log_lamps).
std::atomic<long> shellCalls{ 0 };
std::string notifyCallsPath, balloonCallsPath, lampCallsPath;
int lastLamp = -1;

void ObserveShell(const NotifyCall& call, PNOTIFYICONDATAA data)
{
    ++shellCalls;
    if (call.message == NIM_MODIFY && (call.record.uFlags & NIF_INFO) && !balloonCallsPath.empty()) {
        bool whole = data->cbSize >= NOTIFYICONDATAA_V2_SIZE;
        LogCall(balloonCallsPath, "balloon size " + std::to_string(data->cbSize) + " icon "
                             + std::to_string(whole ? data->dwInfoFlags : 0) + ": " + (whole ? data->szInfo : ""));
    }
    if (call.message == NIM_MODIFY && !notifyCallsPath.empty()) {
        char text[64];
        std::snprintf(text, sizeof text, "notify %.3f", call.atMs);
        LogCall(notifyCallsPath, text);
    }
    bool image = call.message != NIM_DELETE && (call.record.uFlags & NIF_ICON);
    int lamp = call.message == NIM_DELETE ? 0 : call.lamp;
    if (!lampCallsPath.empty() && (image || call.message == NIM_DELETE)
        && (lamp != lastLamp || call.message == NIM_ADD)) {
        lastLamp = lamp;
        LogCall(lampCallsPath, "lamp " + std::to_string(lamp) + (call.message == NIM_ADD ? " added" : ""));
    }
}

bool watching = false;
void WatchShell()
{
    if (!watching)
        watching = notify::Record(nullptr, ObserveShell, false);
}

// With box_waits_for_break: a message box that the program asks for on a
// thread of its own is held back until the next pcap_breakloop (bounded),
// so that a test can make the box arrive while a stop is under way. The
// request is noted in the calls file ("message_box TEXT").
typedef int(WINAPI* MessageBoxFn)(HWND, LPCSTR, LPCSTR, UINT);
MessageBoxFn realMessageBox = nullptr;
HANDLE breakSeen = nullptr;
std::atomic<bool> holdBoxes{ false };
std::string boxCallsPath;
int WINAPI MessageBoxAfterBreak(HWND owner, LPCSTR text, LPCSTR caption, UINT type)
{
    if (holdBoxes && owner != nullptr && GetWindowThreadProcessId(owner, nullptr) != GetCurrentThreadId()) {
        ResetEvent(breakSeen);
        LogCall(boxCallsPath, std::string("message_box ") + (text ? text : ""));
        WaitForSingleObject(breakSeen, 30000);
    }
    return realMessageBox(owner, text, caption, type);
}
void HoldMessageBoxes(const Control& control)
{
    boxCallsPath = control.callsPath;
    if (breakSeen == nullptr)
        breakSeen = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (realMessageBox == nullptr)
        realMessageBox = reinterpret_cast<MessageBoxFn>(
            PatchImport("MessageBoxA", reinterpret_cast<void*>(MessageBoxAfterBreak)));
}

// Devices whose reads failed after loop_fail_after frames: they stay lost,
// so a handle opened on one again fails at its first read, until the control
// file no longer asks for failures.
std::vector<std::string> lostDevices;

bool DeviceLost(const std::string& device)
{
    for (const std::string& lost : lostDevices)
        if (lost == device)
            return true;
    return false;
}

// The end of a thread that opened a device (a capture run's) is noted in
// the calls file of its open, so that a test can await it instead of waiting
// out what the thread might still show.
DWORD openedSlot = TLS_OUT_OF_INDEXES; // the thread's calls path

void NoteOpeningThread(const Control& control)
{
    if (TlsGetValue(openedSlot) == nullptr)
        TlsSetValue(openedSlot, new std::string(control.callsPath));
}

void NoteThreadEnd()
{
    if (auto* callsPath = static_cast<std::string*>(TlsGetValue(openedSlot))) {
        LogCall(*callsPath, "capture_thread_end");
        delete callsPath;
    }
}

// The owner tables as the program reads them: the owner lines' sockets
// (bound to no one address; "self" is the program), then owner_rows rows,
// half TCP connections of 192.168.1.10 from port 40000 on, half UDP sockets
// from port 45000 on, every tenth row this process's, the others of ids
// that no process has.
int ownerRows = 0;
struct OwnerLine {
    bool tcp;
    u_short port;
    DWORD pid;
};
std::vector<OwnerLine> ownerLines;

DWORD OwnerOfRow(int row)
{
    return row % 10 == 0 ? GetCurrentProcessId() : static_cast<DWORD>(0x7f000000 + row % 40);
}

DWORD WINAPI TcpOwnerTable(PVOID out, PDWORD size, BOOL, ULONG family, TCP_TABLE_CLASS, ULONG)
{
    std::vector<MIB_TCPROW_OWNER_PID> rows;
    for (const OwnerLine& line : ownerLines)
        if (family == AF_INET && line.tcp)
            rows.push_back({ MIB_TCP_STATE_LISTEN, 0, htons(line.port), 0, 0, line.pid });
    for (int i = 0; family == AF_INET && i < ownerRows / 2; ++i)
        rows.push_back({ MIB_TCP_STATE_ESTAB, Ipv4Of(192, 168, 1, 10), htons(static_cast<u_short>(40000 + i)),
                         Ipv4Of(203, 0, 113, 7), htons(443), OwnerOfRow(i) });
    return AnswerOwnerTable<MIB_TCPTABLE_OWNER_PID>(rows, out, size);
}

DWORD WINAPI UdpOwnerTable(PVOID out, PDWORD size, BOOL, ULONG family, UDP_TABLE_CLASS, ULONG)
{
    std::vector<MIB_UDPROW_OWNER_PID> rows;
    for (const OwnerLine& line : ownerLines)
        if (family == AF_INET && !line.tcp)
            rows.push_back({ 0, htons(line.port), line.pid });
    for (int i = 0; family == AF_INET && i < ownerRows - ownerRows / 2; ++i)
        rows.push_back({ Ipv4Of(0, 0, 0, 0), htons(static_cast<u_short>(45000 + i)), OwnerOfRow(i) });
    return AnswerOwnerTable<MIB_UDPTABLE_OWNER_PID>(rows, out, size);
}

void StandInOwnerTables(const Control& control)
{
    ownerRows = control.ownerRows;
    ownerLines.clear();
    for (const std::string& text : control.owners) {
        char protocol[8] = "", pid[16] = "";
        unsigned port = 0;
        if (std::sscanf(text.c_str(), "%7s %u %15s", protocol, &port, pid) == 3)
            ownerLines.push_back({ std::strcmp(protocol, "TCP") == 0, static_cast<u_short>(port),
                                   std::strcmp(pid, "self") == 0 ? GetCurrentProcessId()
                                                                 : static_cast<DWORD>(std::strtoul(pid, nullptr, 10)) });
    }
    StandInEntries({ { "GetExtendedTcpTable", reinterpret_cast<FARPROC>(TcpOwnerTable) },
                     { "GetExtendedUdpTable", reinterpret_cast<FARPROC>(UdpOwnerTable) } });
}

pcap_t* NewHandle(const Control& control, const char* device, int snaplen, int promisc, int to_ms)
{
    if (control.loopFailAfter < 0)
        lostDevices.clear();
    pcap_t* p = new pcap;
    p->breakRequested = 0;
    p->wake = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    p->device = device ? device : "";
    p->snaplen = snaplen;
    p->promisc = promisc;
    p->timeoutMs = to_ms;
    p->immediate = 0;
    if (!control.replay.empty())
        p->frames = PcapFile::ReadAll(control.replay.c_str());
    p->repeat = control.replayRepeat;
    p->gapMicroseconds = control.replayGapMicroseconds;
    p->failAfter = control.loopFailAfter;
    p->batch = control.dispatchBatch;
    p->ignoreBreak = control.ignoreBreak;
    p->logHandover = control.logHandover;
    holdBoxes = control.boxWaitsForBreak;
    if (control.boxWaitsForBreak)
        HoldMessageBoxes(control);
    if (control.countShellCalls) {
        WatchShell();
        notifyCallsPath = control.logHandover ? control.callsPath : std::string();
    }
    if (control.ownerRows > 0 || !control.owners.empty())
        StandInOwnerTables(control);
    p->callsPath = control.callsPath;
    p->round = 0;
    p->next = 0;
    p->delivered = DeviceLost(p->device) ? p->failAfter : 0;
    p->dispatchLogged = false;
    p->replayEndLogged = false;
    return p;
}

} // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH)
        openedSlot = TlsAlloc();
    else if (reason == DLL_THREAD_DETACH)
        NoteThreadEnd();
    return TRUE;
}

int pcap_findalldevs(pcap_if_t** list, char* errbuf)
{
    Control control = ReadControl();
    LogCall(control.callsPath, "pcap_findalldevs");
    if (control.logBalloons) {
        WatchShell();
        balloonCallsPath = control.callsPath;
    }
    if (control.logLamps) {
        WatchShell();
        lampCallsPath = control.callsPath;
    }
    *list = nullptr;
    if (control.findalldevsFails) {
        SetError(errbuf, control.findalldevsError.c_str());
        return PCAP_ERROR;
    }
    pcap_if_t** tail = list;
    for (const std::string& name : control.devices) {
        pcap_if_t* device = static_cast<pcap_if_t*>(std::calloc(1, sizeof(pcap_if_t)));
        device->name = _strdup(name.c_str());
        device->description = _strdup("Fake capture device");
        *tail = device;
        tail = &device->next;
    }
    return 0;
}

void pcap_freealldevs(pcap_if_t* list)
{
    LogCall(ReadControl().callsPath, "pcap_freealldevs");
    while (list != nullptr) {
        pcap_if_t* next = list->next;
        std::free(list->name);
        std::free(list->description);
        std::free(list);
        list = next;
    }
}

pcap_t* pcap_open_live(const char* device, int snaplen, int promisc, int to_ms, char* errbuf)
{
    Control control = ReadControl();
    LogCall(control.callsPath, "pcap_open_live " + std::string(device ? device : "") + " " + std::to_string(snaplen)
                     + " " + std::to_string(promisc) + " " + std::to_string(to_ms));
    NoteOpeningThread(control);
    if (control.openFails) {
        SetError(errbuf, "The fake capture device refuses to open.");
        return nullptr;
    }
    return NewHandle(control, device, snaplen, promisc, to_ms);
}

pcap_t* pcap_create(const char* device, char* errbuf)
{
    Control control = ReadControl();
    LogCall(control.callsPath, "pcap_create " + std::string(device ? device : ""));
    NoteOpeningThread(control);
    if (control.openFails) {
        SetError(errbuf, "The fake capture device refuses to open.");
        return nullptr;
    }
    return NewHandle(control, device, 0, 0, 0);
}

int pcap_set_snaplen(pcap_t* p, int snaplen) { p->snaplen = snaplen; return 0; }
int pcap_set_promisc(pcap_t* p, int promisc) { p->promisc = promisc; return 0; }
int pcap_set_timeout(pcap_t* p, int to_ms) { p->timeoutMs = to_ms; return 0; }
int pcap_set_immediate_mode(pcap_t* p, int immediate) { p->immediate = immediate; return 0; }

// One line with everything the capture was opened with.
int pcap_activate(pcap_t* p)
{
    LogCall(p->callsPath, "pcap_activate " + p->device + " " + std::to_string(p->snaplen) + " "
                     + std::to_string(p->promisc) + " " + std::to_string(p->timeoutMs)
                     + (p->immediate ? " immediate" : ""));
    return 0;
}

int pcap_setmintocopy(pcap_t* p, int size)
{
    LogCall(p->callsPath, "pcap_setmintocopy " + std::to_string(size));
    return 0;
}

int pcap_lookupnet(const char* device, bpf_u_int32* net, bpf_u_int32* mask, char* errbuf)
{
    Control control = ReadControl();
    LogCall(control.callsPath, "pcap_lookupnet " + std::string(device ? device : ""));
    if (control.lookupnetFails) {
        SetError(errbuf, "The fake capture device has no network information.");
        return PCAP_ERROR;
    }
    if (net != nullptr)
        *net = 0;
    if (mask != nullptr)
        *mask = 0;
    return 0;
}

int pcap_dispatch(pcap_t* p, int cnt, pcap_handler callback, u_char* user)
{
    if (!p->dispatchLogged) {
        // Once per handle: the program reads in a loop.
        LogCall(p->callsPath, "pcap_dispatch " + std::to_string(cnt));
        p->dispatchLogged = true;
    }
    int limit = cnt > 0 && cnt < p->batch ? cnt : p->batch;
    int handed = 0;
    while (handed < limit && p->round < p->repeat && !p->frames.empty()) {
        if (p->failAfter >= 0 && p->delivered >= p->failAfter)
            break;
        if (p->delivered > 0 && p->gapMicroseconds > 0) {
            // Paced frames arrive one at a time: each read hands over one.
            if (handed > 0)
                return handed;
            WaitGap(p, p->gapMicroseconds);
        }
        if (p->breakRequested && !p->ignoreBreak)
            return handed > 0 ? handed : EndWithBreak(p);
        const PcapRecord& frame = p->frames[p->next];
        pcap_pkthdr header;
        header.ts.tv_sec = static_cast<long>(frame.seconds);
        header.ts.tv_usec = static_cast<long>(frame.microseconds);
        size_t captured = frame.bytes.size();
        if (p->snaplen >= 0 && captured > static_cast<size_t>(p->snaplen))
            captured = static_cast<size_t>(p->snaplen);
        header.caplen = static_cast<bpf_u_int32>(captured);
        header.len = frame.originalLength;
        if (p->logHandover) {
            char text[64];
            std::snprintf(text, sizeof text, "handover %.3f", CounterMs());
            LogCall(p->callsPath, text);
        }
        callback(user, &header, frame.bytes.data());
        ++handed;
        ++p->delivered;
        if (++p->next == p->frames.size()) {
            p->next = 0;
            ++p->round;
        }
    }
    if (handed > 0)
        return handed;
    // Asked again once every frame was handed over: the program has dealt
    // with the last read.
    if (!p->frames.empty() && p->round >= p->repeat && !p->replayEndLogged) {
        LogCall(p->callsPath, "replay_end");
        p->replayEndLogged = true;
    }
    if (p->failAfter >= 0 && p->delivered >= p->failAfter) {
        if (!DeviceLost(p->device))
            lostDevices.push_back(p->device);
        return PCAP_ERROR;
    }
    if (p->breakRequested && !p->ignoreBreak)
        return EndWithBreak(p);
    // A library that ignores the break stays in its read until the test lets
    // it go (by clearing ignore_break in the control file).
    while (p->ignoreBreak) {
        Sleep(100);
        p->ignoreBreak = ReadControl().ignoreBreak;
    }
    // A quiet adapter: one read time-out.
    WaitForSingleObject(p->wake, p->timeoutMs > 0 ? static_cast<DWORD>(p->timeoutMs) : INFINITE);
    return p->breakRequested ? EndWithBreak(p) : 0;
}

void pcap_breakloop(pcap_t* p)
{
    LogCall(p->callsPath, "pcap_breakloop");
    if (breakSeen != nullptr)
        SetEvent(breakSeen);
    p->breakRequested = 1;
    SetEvent(p->wake);
}

void pcap_close(pcap_t* p)
{
    if (p == nullptr)
        return;
    if (watching)
        LogCall(p->callsPath, "shell_notify_calls " + std::to_string(shellCalls.exchange(0)));
    LogCall(p->callsPath, "pcap_close");
    CloseHandle(p->wake);
    delete p;
}

} // extern "C"
