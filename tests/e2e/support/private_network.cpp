#include <winsock2.h>
#include <ws2tcpip.h>
#include "support/private_network.h"
#include <cstdlib>
#include <set>
#include "support/host_shell.h"
#include "support/netglow_process.h"
#include "tests/fakes/pcap_file.h"

namespace {

// Fixed link addresses and neighbour entries: no ARP crosses the pair. The
// unreachable route keeps a probe to a deleted adapter's far end from
// leaving by a default route through another adapter.
const char NETWORK_FUNCTIONS[] = R"sh(
peer=${NETGLOW_PEER_PID:?}
far() { nsenter -t "$peer" -n "$@"; }
mac() { printf '02:00:00:17:%02x:%02x' "$1" "$2"; }
adapter() {
  ip route replace unreachable 10.17.0.0/16 || return 1
  ip link add "$1" index "$2" address "$(mac "$3" 1)" type veth \
    peer name "$1p" address "$(mac "$3" 2)" netns "$peer" || return 1
  sysctl -qw "net.ipv6.conf.$1.disable_ipv6=1" && far sysctl -qw "net.ipv6.conf.$1p.disable_ipv6=1" || return 1
  ip addr add "10.17.$3.1/24" dev "$1" && ip link set "$1" up || return 1
  ip neigh replace "10.17.$3.2" lladdr "$(mac "$3" 2)" dev "$1" nud permanent || return 1
  far ip addr add "10.17.$3.2/24" dev "$1p" && far ip link set "$1p" up || return 1
  far ip neigh replace "10.17.$3.1" lladdr "$(mac "$3" 1)" dev "$1p" nud permanent
}
readdress() {
  ip addr del "10.17.$2.$3/24" dev "$1" && ip addr add "10.17.$2.$4/24" dev "$1" || return 1
  far ip neigh replace "10.17.$2.$4" lladdr "$(mac "$2" 1)" dev "$1p" nud permanent
}
)sh";

// The "Port" field of a log line, 0 when it has none.
unsigned PortField(const std::string& line)
{
    size_t at = line.find("\tPort=");
    return at == std::string::npos ? 0 : static_cast<unsigned>(std::strtoul(line.c_str() + at + 6, nullptr, 10));
}

bool HoldsAll(const std::string& line, const std::vector<std::string>& parts)
{
    for (const std::string& part : parts)
        if (line.find(part) == std::string::npos)
            return false;
    return true;
}

} // namespace

std::string VethAdapter::Address(int host) const
{
    return "10.17." + std::to_string(net) + "." + std::to_string(host);
}

std::string WhyNoPrivateNetwork()
{
    if (const char* missing = std::getenv("NETGLOW_PRIVATE_NETWORK_MISSING"))
        return missing;
    if (std::getenv("NETGLOW_PEER_PID") == nullptr)
        return "not run in a private network namespace (wine-run --private-network)";
    if (RunHostScript("command -v tcpdump >/dev/null") != 0)
        return "tcpdump is not installed";
    return "";
}

int NetworkScript(const std::string& commands)
{
    return RunHostScript(std::string(NETWORK_FUNCTIONS) + commands);
}

bool MakeAdapter(const VethAdapter& adapter)
{
    return NetworkScript("adapter " + adapter.name + " " + std::to_string(adapter.index) + " "
                         + std::to_string(adapter.net)) == 0;
}

ProbeTraffic::ProbeTraffic(const std::string& logPath) : logPath_(logPath)
{
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
}

ProbeTraffic::~ProbeTraffic()
{
    WSACleanup();
}

unsigned ProbeTraffic::Send(const VethAdapter& adapter)
{
    // Above the ports that have service names in the log, one per probe.
    static unsigned nextPort = 42000;
    SOCKET s = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (s == INVALID_SOCKET)
        return 0;
    unsigned port = 0;
    for (int attempt = 0; attempt < 100 && port == 0 && nextPort < 65536; ++attempt, ++nextPort) {
        sockaddr_in from = {};
        from.sin_family = AF_INET;
        from.sin_port = htons(static_cast<u_short>(nextPort));
        if (bind(s, reinterpret_cast<sockaddr*>(&from), sizeof from) == 0)
            port = nextPort;
    }
    sockaddr_in to = {};
    to.sin_family = AF_INET;
    to.sin_port = htons(9); // discard
    inet_pton(AF_INET, adapter.PeerAddress().c_str(), &to.sin_addr);
    char byte = 'p';
    bool sent = port != 0
        && sendto(s, &byte, 1, 0, reinterpret_cast<sockaddr*>(&to), sizeof to) == 1;
    closesocket(s);
    if (!sent)
        return 0;
    sent_.push_back(port);
    return port;
}

bool ProbeTraffic::AwaitLine(const std::vector<VethAdapter>& across, const VethAdapter& awaited,
                             const std::vector<std::string>& parts, std::string* line, unsigned* port,
                             DWORD timeoutMs)
{
    std::set<unsigned> mine;
    DWORD start = GetTickCount();
    for (;;) {
        for (const VethAdapter& adapter : across) {
            unsigned sent = Send(adapter);
            if (sent != 0 && adapter.name == awaited.name)
                mine.insert(sent);
        }
        DWORD round = GetTickCount();
        do {
            for (const std::string& logged : Lines(ReadFileBytes(logPath_))) {
                if (mine.count(PortField(logged)) != 0 && HoldsAll(logged, parts)) {
                    *line = logged;
                    *port = PortField(logged);
                    return true;
                }
            }
            if (GetTickCount() - start > timeoutMs)
                return false;
            Sleep(10);
        } while (GetTickCount() - round < 100);
    }
}

std::string ProbeTraffic::LastProbeLine() const
{
    std::set<unsigned> all(sent_.begin(), sent_.end());
    std::string last = "(none)";
    for (const std::string& logged : Lines(ReadFileBytes(logPath_)))
        if (all.count(PortField(logged)) != 0)
            last = logged.substr(0, logged.find_last_not_of("\r\n") + 1);
    return last;
}

bool CaptureTimeOf(const std::string& pcapPath, unsigned port, uint32_t* seconds, uint32_t* microseconds,
                   DWORD timeoutMs)
{
    return WaitFor([&] {
        PcapFile file;
        if (file.Open(pcapPath.c_str())) {
            // The link header before the IP header: Ethernet, Linux cooked
            // capture (v1, v2) as tcpdump writes for "any".
            size_t link = file.linkType() == 1 ? 14 : file.linkType() == 113 ? 16 : file.linkType() == 276 ? 20 : 0;
            PcapRecord record;
            while (link != 0 && file.Next(&record)) {
                const std::vector<unsigned char>& b = record.bytes;
                if (b.size() < link + 20 || (b[link] >> 4) != 4 || b[link + 9] != IPPROTO_UDP)
                    continue;
                size_t udp = link + (b[link] & 15u) * 4;
                if (b.size() >= udp + 2 && (static_cast<unsigned>(b[udp]) << 8 | b[udp + 1]) == port) {
                    *seconds = record.seconds;
                    if (microseconds != nullptr)
                        *microseconds = record.microseconds;
                    return true;
                }
            }
        }
        return false;
    }, timeoutMs);
}
