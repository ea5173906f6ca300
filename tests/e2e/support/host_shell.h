// The Linux host under Wine, for end-to-end runs that need its tools
// (tcpdump): scripts run by /bin/sh, awaited through a status file, since
// Wine hands out no process handle for a Unix program.
#pragma once
#include <windows.h>
#include <pcap/pcap.h>
#include <string>

// The host's path of a Windows path, empty when Wine has none (a folder's
// path may come without its trailing slash).
std::string UnixPathOf(const std::string& windowsPath);

// Runs `script` with /bin/sh on the host and waits, bounded, for it to end.
// Returns its exit status, or -1 when it did not start or end in time.
// Programs it starts in the background live on after it.
int RunHostScript(const std::string& script, DWORD timeoutMs = 30000);

// The capture library in the system folder (the demo forwarder to Wine's
// own, which names each device after its interface); false when there is none.
struct SystemCaptureLibrary {
    decltype(pcap_findalldevs)* findAll = nullptr;
    decltype(pcap_freealldevs)* freeAll = nullptr;
    decltype(pcap_open_live)* open = nullptr;
    decltype(pcap_close)* close = nullptr;
    bool Load();
};

// Why the Linux interface `linkName` cannot be captured by tcpdump and by
// NetGlow through the capture library in the system folder (the demo
// forwarder to Wine's own, which names each device after its interface);
// empty when it can.
std::string WhyNoCaptureOn(const std::string& linkName);

// tcpdump on the host, handing over and writing each frame at once to a
// classic pcap file. Ended, with its file closed, by Stop or with the object,
// also when a test fails.
class HostTcpdump {
public:
    HostTcpdump() = default;
    HostTcpdump(const HostTcpdump&) = delete;
    HostTcpdump& operator=(const HostTcpdump&) = delete;
    ~HostTcpdump();
    // Starts it on the Linux interface `linkName` (or "any") with a capture filter
    // (empty: every frame); true once its capture is open, bounded.
    bool Start(const std::string& linkName, const std::string& filter = "");
    // Ends it; true once it has closed its file, bounded.
    bool Stop();
    // The file it writes, as a Windows path.
    std::string capturePath;

private:
    std::string folder_; // its files, host path with a trailing slash
    bool running_ = false;
};
