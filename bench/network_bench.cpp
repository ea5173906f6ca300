// Figures of NetGlow.exe following the network under Wine, with the two real
// adapters of the end-to-end test in a private network namespace (run by
// scripts/bench-network.sh through wine-run --private-network):
//  - in Automatic mode, the time from a change of the default route to the
//    first frame on the newly routed adapter that NetGlow logs (tcpdump's
//    time of that frame), and to its line in the log, 10 changes;
//  - the CPU time NetGlow.exe uses over 10 s on a quiet adapter while
//    monitoring, in Automatic mode and, beside it, on the chosen adapter.
// Probes cross both adapters every 100 ms, which bounds the resolution.
#include "e2e_common.h"
#include <algorithm>
#include <cstdio>
#include "process_times.h"
#include "support/host_shell.h"
#include "support/private_network.h"

namespace {

const VethAdapter FIRST = { "ngA0", 5, 1 };
const VethAdapter SECOND = { "ngB0", 6, 2 };
const int CHANGES = 10;
const int QUIET_SECONDS = 10;

// The Unix time now in microseconds, on the clock tcpdump and `date` read.
long long UnixMicroseconds()
{
    FILETIME now;
    GetSystemTimePreciseAsFileTime(&now);
    unsigned long long ticks = (static_cast<unsigned long long>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    return static_cast<long long>(ticks / 10) - 11644473600000000LL;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    size_t n = values.size();
    return n == 0 ? 0 : n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

struct Session {
    NetGlowProcess ng;
    ProbeTraffic probes{ ng.logPath };

    bool Start(const Keys& keys)
    {
        return WriteWholeFile(ng.settingsPath, SettingsFile(keys)) && ng.Start() && ng.WaitForMainWindow() != nullptr
            && ng.Command(CMD_LOG_START);
    }
    bool Captures(const VethAdapter& adapter)
    {
        std::string line;
        unsigned port = 0;
        return probes.AwaitLine({ FIRST, SECOND }, adapter,
                                { "\tSend Address=" + adapter.Address() + "\tRecv Address=" + adapter.PeerAddress() },
                                &line, &port);
    }
    double QuietCpuMs()
    {
        double before = CpuMs(ng.process);
        Sleep(QUIET_SECONDS * 1000); // the window measured
        return CpuMs(ng.process) - before;
    }
    void Quit()
    {
        ng.Command(CMD_QUIT);
        ng.WaitForExit();
    }
};

// Changes the default route and returns when that was done, in Unix
// microseconds by the host's clock; -1 when it failed.
long long ChangeRoute(const std::string& command, const std::string& folder)
{
    std::string host = UnixPathOf(folder);
    if (host.empty() || NetworkScript(command + " && date +%s%N >'" + host + "/changed'") != 0)
        return -1;
    return std::atoll(ReadFileBytes(folder + "changed").c_str()) / 1000;
}

void RouteChanges(const std::string& pcapPath)
{
    std::printf("Automatic: a change of the default route to the first frame NetGlow logs on the newly routed "
                "adapter, %d changes\n", CHANGES);
    Session session;
    if (NetworkScript("ip route add default via 10.17.2.2 dev ngB0 metric 100") != 0
        || !session.Start(StandardKeys(FIRST.name, "0", "1", "1"))) {
        std::printf("  NetGlow did not start\n");
        return;
    }
    // CardName names the first adapter; the route, the second.
    if (!session.Captures(SECOND)) {
        std::printf("  no figures: NetGlow did not capture the adapter of the default route within 15 s of its "
                    "start (the last probe line: %s)\n", session.probes.LastProbeLine().c_str());
        session.Quit();
        return;
    }
    std::vector<double> toFrame, toLine;
    int misses = 0;
    for (int i = 0; i < CHANGES; ++i) {
        // The first adapter's route, with the lower metric, comes and goes.
        bool toFirst = i % 2 == 0;
        const VethAdapter& routed = toFirst ? FIRST : SECOND;
        long long changed = ChangeRoute(toFirst ? "ip route add default via 10.17.1.2 dev ngA0 metric 50"
                                                : "ip route del default via 10.17.1.2 dev ngA0 metric 50",
                                        session.ng.folder);
        std::string line;
        unsigned port = 0;
        uint32_t seconds = 0, microseconds = 0;
        if (changed < 0
            || !session.probes.AwaitLine({ FIRST, SECOND }, routed,
                                         { "\tSend Address=" + routed.Address() + "\tRecv Address="
                                           + routed.PeerAddress() },
                                         &line, &port)) {
            ++misses;
            std::printf("  %2d  to %s: no frame logged within 15 s\n", i + 1, routed.name.c_str());
            continue;
        }
        long long seen = UnixMicroseconds();
        if (!CaptureTimeOf(pcapPath, port, &seconds, &microseconds)) {
            ++misses;
            std::printf("  %2d  to %s: tcpdump did not see port %u\n", i + 1, routed.name.c_str(), port);
            continue;
        }
        long long frame = static_cast<long long>(seconds) * 1000000 + microseconds;
        toFrame.push_back((frame - changed) / 1e6);
        toLine.push_back((seen - changed) / 1e6);
        std::printf("  %2d  to %s: frame %.3f s, its line in the log %.3f s\n", i + 1, routed.name.c_str(),
                    toFrame.back(), toLine.back());
    }
    if (!toFrame.empty())
        std::printf("  frame: median %.3f s, worst %.3f s; line in the log: median %.3f s, worst %.3f s; "
                    "%d of %d without a frame (target: median at most 3 s)\n",
                    Median(toFrame), *std::max_element(toFrame.begin(), toFrame.end()), Median(toLine),
                    *std::max_element(toLine.begin(), toLine.end()), misses, CHANGES);
    std::printf("Automatic, quiet adapter: %.1f ms CPU in %d s (target: at most 10 ms)\n", session.QuietCpuMs(),
                QUIET_SECONDS);
    session.Quit();
}

void ChosenQuietCpu()
{
    NetworkScript("ip route flush exact 0.0.0.0/0");
    Session session;
    if (!session.Start(StandardKeys(FIRST.name, "0", "1")) || !session.Captures(FIRST)) {
        std::printf("chosen adapter: NetGlow did not capture %s\n", FIRST.name.c_str());
        return;
    }
    std::printf("chosen adapter, quiet: %.1f ms CPU in %d s\n", session.QuietCpuMs(), QUIET_SECONDS);
    session.Quit();
}

} // namespace

int main()
{
    std::string why = WhyNoPrivateNetwork();
    if (why.empty() && (!MakeAdapter(FIRST) || !MakeAdapter(SECOND)))
        why = "the adapters could not be made";
    if (why.empty())
        why = WhyNoCaptureOn(FIRST.name);
    if (!why.empty()) {
        std::printf("cannot run: %s\n", why.c_str());
        return 2;
    }
    HostTcpdump tcpdump;
    if (!tcpdump.Start("any", "udp")) {
        std::printf("cannot run: tcpdump did not start\n");
        return 2;
    }
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    ChosenQuietCpu();
    RouteChanges(tcpdump.capturePath);
    return 0;
}
