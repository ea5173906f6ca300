// Real adapters for end-to-end runs in a private network namespace (wine-run
// --private-network): veth pairs whose far ends live in the peer namespace,
// UDP probes sent across them from this process, and the lines NetGlow logs
// for them. An adapter of net N has 10.17.N.1 here and 10.17.N.2 at its far
// end, so that the addresses of a log line tell the adapter. No frame leaves
// the two namespaces.
#pragma once
#include <windows.h>
#include <cstdint>
#include <string>
#include <vector>

struct VethAdapter {
    std::string name; // here; its far end is name + "p"
    int index;        // the Linux interface index, which Wine's device name carries
    int net;          // 10.17.<net>.0/24
    std::string Address(int host = 1) const;
    std::string PeerAddress() const { return Address(2); }
};

// Why this run cannot make adapters (no private namespace, no tcpdump);
// empty when it can.
std::string WhyNoPrivateNetwork();

// Runs a host script in the namespace, with these shell functions:
//   adapter NAME INDEX NET   makes the pair, up, with IPv6 off and fixed
//                            neighbour entries, so that only probes and
//                            their answers cross it
//   readdress NAME NET FROM TO   moves 10.17.NET.FROM to 10.17.NET.TO
//   far COMMAND...           runs a command in the peer namespace
// Returns its exit status, -1 when it did not end in time.
int NetworkScript(const std::string& commands);

// Makes (or makes again, with the same index) the adapter.
bool MakeAdapter(const VethAdapter& adapter);

// Datagrams across the adapters, each from a UDP port of its own (its log
// line's "Port" field), and the search for their lines in NetGlow's log.
class ProbeTraffic {
public:
    explicit ProbeTraffic(const std::string& logPath);
    ~ProbeTraffic();

    // One datagram to the adapter's far end; its source port, 0 when the
    // adapter cannot send now (for instance while it is deleted).
    unsigned Send(const VethAdapter& adapter);

    // Sends a datagram across each adapter of `across` every 100 ms and
    // waits, bounded, for the first line in the log of one of them sent
    // across `awaited` in this wait that holds every text of `parts`.
    bool AwaitLine(const std::vector<VethAdapter>& across, const VethAdapter& awaited,
                   const std::vector<std::string>& parts, std::string* line, unsigned* port,
                   DWORD timeoutMs = 15000);

    // The last log line of any probe without its line end, for failure
    // messages.
    std::string LastProbeLine() const;

private:
    std::string logPath_;
    std::vector<unsigned> sent_;
};

// The time of the IPv4 UDP frame from `port` in tcpdump's file (Ethernet or
// Linux cooked capture), in Unix seconds and the microseconds within; waits,
// bounded, for the frame.
bool CaptureTimeOf(const std::string& pcapPath, unsigned port, uint32_t* seconds, uint32_t* microseconds = nullptr,
                   DWORD timeoutMs = 5000);
