// Test double of the capture library (wpcap.dll). A control file, named by
// NETGLOW_FAKE_WPCAP, says which devices exist, which calls fail and which
// frames pcap_loop delivers; every call received can be logged to a file.
// The capture thread may be ended forcibly, so the loop holds no lock and
// touches no file: frames are loaded when the device is opened.
#include <winsock2.h>
#include <windows.h>
#include <pcap/pcap.h>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>
#include "tests/fakes/pcap_file.h"

struct pcap {
    std::atomic<int> breakRequested;
    HANDLE wake;
    int snaplen;
    std::vector<PcapRecord> frames;
    int repeat;
    unsigned gapMicroseconds;
    long failAfter; // -1: never
    std::string callsPath;
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
        } else if (key == "replay") {
            control.replay = value;
        } else if (key == "replay_repeat") {
            control.replayRepeat = std::atoi(value);
        } else if (key == "replay_gap_us") {
            control.replayGapMicroseconds = static_cast<unsigned>(std::strtoul(value, nullptr, 10));
        } else if (key == "loop_fail_after") {
            control.loopFailAfter = std::atol(value);
        } else if (key == "calls") {
            control.callsPath = value;
        }
    }
    std::fclose(file);
    return control;
}

// One line per call, appended in a single write (no lock, no C library).
void LogCall(const Control& control, const std::string& line)
{
    if (control.callsPath.empty())
        return;
    HANDLE file = CreateFileA(control.callsPath.c_str(), FILE_APPEND_DATA,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    std::string text = line + "\r\n";
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
}

// Calls on a handle go to the calls file named when it was opened.
void LogHandleCall(const pcap_t* p, const std::string& line)
{
    Control control;
    control.callsPath = p->callsPath;
    LogCall(control, line);
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

} // namespace

extern "C" {

int pcap_findalldevs(pcap_if_t** list, char* errbuf)
{
    Control control = ReadControl();
    LogCall(control, "pcap_findalldevs");
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
    LogCall(ReadControl(), "pcap_freealldevs");
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
    LogCall(control, "pcap_open_live " + std::string(device ? device : "") + " " + std::to_string(snaplen)
                     + " " + std::to_string(promisc) + " " + std::to_string(to_ms));
    if (control.openFails) {
        SetError(errbuf, "The fake capture device refuses to open.");
        return nullptr;
    }
    pcap_t* p = new pcap;
    p->breakRequested = 0;
    p->wake = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    p->snaplen = snaplen;
    if (!control.replay.empty())
        p->frames = PcapFile::ReadAll(control.replay.c_str());
    p->repeat = control.replayRepeat;
    p->gapMicroseconds = control.replayGapMicroseconds;
    p->failAfter = control.loopFailAfter;
    p->callsPath = control.callsPath;
    return p;
}

int pcap_lookupnet(const char* device, bpf_u_int32* net, bpf_u_int32* mask, char* errbuf)
{
    Control control = ReadControl();
    LogCall(control, "pcap_lookupnet " + std::string(device ? device : ""));
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

int pcap_loop(pcap_t* p, int cnt, pcap_handler callback, u_char* user)
{
    LogHandleCall(p, "pcap_loop " + std::to_string(cnt));
    long delivered = 0;
    for (int round = 0; round < p->repeat; ++round) {
        for (const PcapRecord& frame : p->frames) {
            if (delivered > 0)
                WaitGap(p, p->gapMicroseconds);
            if (p->breakRequested)
                return EndWithBreak(p);
            if (p->failAfter >= 0 && delivered >= p->failAfter)
                return PCAP_ERROR;
            if (cnt > 0 && delivered >= cnt)
                return 0;
            pcap_pkthdr header;
            header.ts.tv_sec = static_cast<long>(frame.seconds);
            header.ts.tv_usec = static_cast<long>(frame.microseconds);
            size_t captured = frame.bytes.size();
            if (p->snaplen >= 0 && captured > static_cast<size_t>(p->snaplen))
                captured = static_cast<size_t>(p->snaplen);
            header.caplen = static_cast<bpf_u_int32>(captured);
            header.len = frame.originalLength;
            callback(user, &header, frame.bytes.data());
            ++delivered;
        }
    }
    if (p->failAfter >= 0 && delivered >= p->failAfter)
        return PCAP_ERROR;
    // A quiet adapter: read time-outs until a break is requested.
    while (!p->breakRequested)
        WaitForSingleObject(p->wake, 1000);
    return EndWithBreak(p);
}

void pcap_breakloop(pcap_t* p)
{
    LogHandleCall(p, "pcap_breakloop");
    p->breakRequested = 1;
    SetEvent(p->wake);
}

void pcap_close(pcap_t* p)
{
    if (p == nullptr)
        return;
    LogHandleCall(p, "pcap_close");
    CloseHandle(p->wake);
    delete p;
}

} // extern "C"
