// The owner of a local end from owner-table rows, and when the tables are
// read again.
#include <gtest/gtest.h>
#include <vector>
#include "monitor/port_owners.h"
#include "monitor/port_traffic.h"

namespace {

using Address = std::vector<unsigned char>;

const Address kAny4 = { 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff, 0, 0, 0, 0 };
const Address kAny6 = Address(16, 0);
const Address kAdapter = { 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff, 192, 168, 1, 10 };
const Address kLoop = { 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff, 127, 0, 0, 1 };
const Address kServer = { 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff, 203, 0, 113, 7 };
const Address kPeer = { 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff, 203, 0, 113, 9 };
const Address kOther = { 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff, 198, 51, 100, 1 };

OwnerRow Row(unsigned protocol, const Address& local, unsigned localPort, const Address& remote, unsigned remotePort,
             uint32_t pid)
{
    OwnerRow row = {};
    row.protocol = protocol;
    std::copy(local.begin(), local.end(), row.local);
    row.localPort = localPort;
    std::copy(remote.begin(), remote.end(), row.remote);
    row.remotePort = remotePort;
    row.pid = pid;
    return row;
}

} // namespace

TEST(PortOwners, OwnerOfALocalEnd)
{
    const std::vector<OwnerRow> rows = {
        Row(PORT_TCP, kAny4, 80, kAny4, 0, 100),             // a server listening
        Row(PORT_TCP, kAdapter, 80, kServer, 51000, 200),   // a connection handed to another process
        Row(PORT_TCP, kAny6, 8443, kPeer, 40000, 300),      // dual-stack: an IPv4 peer in the IPv6 table
        Row(PORT_UDP, kLoop, 53, kAny6, 0, 400),
        Row(PORT_UDP, kAny4, 53, kAny6, 0, 500),
        Row(PORT_UDP, kLoop, 5000, kAny6, 0, 600),
        Row(PORT_TCP, kAny4, 445, kAny4, 0, PID_SYSTEM),
        Row(PORT_TCP, kAdapter, 50001, kServer, 443, PID_IDLE),  // closing: its socket is gone
        Row(PORT_TCP, kAdapter, 8080, kServer, 51000, 700),      // two processes' connections on one port
        Row(PORT_TCP, kAdapter, 8080, kPeer, 51000, 800),
        Row(PORT_TCP, kAdapter, 50002, kServer, 443, PID_IDLE),  // a closing connection listed first,
        Row(PORT_TCP, kAny4, 50002, kAny4, 0, 900),              // then the live socket of its port
    };
    const struct {
        const char* name;
        unsigned protocol;
        unsigned port;
        const Address* local;
        const Address* remote;
        unsigned remotePort;
        uint32_t pid;
    } cases[] = {
        { "TCP: the row with the peer first", PORT_TCP, 80, nullptr, &kServer, 51000, 200 },
        { "TCP: the peer's port must match too", PORT_TCP, 80, nullptr, &kServer, 51001, 100 },
        { "TCP: another peer takes the port's first row", PORT_TCP, 80, nullptr, &kOther, 1, 100 },
        { "TCP: no peer known, the port's first row", PORT_TCP, 80, nullptr, nullptr, 0, 100 },
        { "TCP: the local address before the port's first row", PORT_TCP, 80, &kAdapter, nullptr, 0, 200 },
        { "TCP: the dual-stack row by the mapped peer", PORT_TCP, 8443, &kAdapter, &kPeer, 40000, 300 },
        { "TCP: the dual-stack row by its port", PORT_TCP, 8443, nullptr, nullptr, 0, 300 },
        { "UDP: the socket bound to the local address", PORT_UDP, 53, &kLoop, nullptr, 0, 400 },
        { "UDP: else the one bound to none", PORT_UDP, 53, &kAdapter, nullptr, 0, 500 },
        { "UDP: no local address known, the port's first row", PORT_UDP, 53, nullptr, nullptr, 0, 400 },
        { "UDP: a socket bound to another address cannot have it", PORT_UDP, 5000, &kAdapter, nullptr, 0, PID_NONE },
        { "the protocol must match", PORT_TCP, 53, nullptr, nullptr, 0, PID_NONE },
        { "a port without a row", PORT_UDP, 9999, nullptr, nullptr, 0, PID_NONE },
        { "PID 4", PORT_TCP, 445, nullptr, nullptr, 0, PID_SYSTEM },
        { "PID 0", PORT_TCP, 50001, nullptr, nullptr, 0, PID_IDLE },
        { "TCP: of two processes' connections, the peer's", PORT_TCP, 8080, nullptr, &kPeer, 51000, 800 },
        { "TCP: a live socket before a closing one", PORT_TCP, 50002, nullptr, &kOther, 1, 900 },
        { "TCP: a live socket before a closing one, no peer known", PORT_TCP, 50002, nullptr, nullptr, 0, 900 },
        { "TCP: the closing connection of the peer", PORT_TCP, 50002, nullptr, &kServer, 443, PID_IDLE },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        PortQuery query = { c.protocol, c.port, c.local != nullptr ? c.local->data() : nullptr,
                            c.remote != nullptr ? c.remote->data() : nullptr, c.remotePort };
        EXPECT_EQ(c.pid, PortOwner(rows, query));
    }
}

TEST(PortOwners, MappedIpv4)
{
    const unsigned char ipv4[4] = { 203, 0, 113, 7 };
    unsigned char mapped[16];
    MapIpv4(ipv4, mapped);
    EXPECT_EQ(kServer, Address(mapped, mapped + 16));
}

TEST(PortOwners, WhenTheTablesAreRead)
{
    const struct {
        uint64_t now;
        uint64_t last;
        bool unknown;
        bool traffic;
        bool due;
    } rows[] = {
        { 10000, 0, false, false, false },  { 10000, 0, true, true, true },
        { 10000, 0, false, true, true },    { 10999, 10000, true, true, false },
        { 11000, 10000, true, true, true }, { 14999, 10000, false, true, false },
        { 15000, 10000, false, true, true }, { 99000, 10000, false, false, false },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << row.now << " " << row.last << " " << row.unknown << " " << row.traffic);
        EXPECT_EQ(row.due, OwnerLookDue(row.now, row.last, row.unknown, row.traffic));
    }
}
