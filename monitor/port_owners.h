// Which process owns a local port, decided from the rows of the IP Helper's
// owner tables (TCP and UDP, IPv4 and IPv6), and the programs kept for the
// graph window's list. Portable: the glue reads the tables and the
// processes and hands their rows in; nothing here asks the system.
#pragma once
#include <cstdint>
#include <vector>
#include "core/own_addresses.h"  // MapIpv4, the form the rows keep IPv4 addresses in

// One row of an owner table. IPv4 addresses are kept IPv4-mapped
// (::ffff:a.b.c.d), the form in which a dual-stack socket's IPv6 row holds
// its IPv4 peers, so that one comparison serves both tables.
struct OwnerRow {
    unsigned protocol;          // PORT_TCP, PORT_UDP
    unsigned char local[16];    // :: or ::ffff:0.0.0.0: bound to no one address
    unsigned localPort;
    unsigned char remote[16];   // TCP only
    unsigned remotePort;
    uint32_t pid;
};

// Process ids with a meaning of their own: 0 owns a TCP connection that is
// closing (its socket is gone), 4 is the kernel's.
enum : uint32_t { PID_IDLE = 0, PID_SYSTEM = 4, PID_NONE = 0xFFFFFFFFu };


struct PortQuery {
    unsigned protocol;
    unsigned localPort;
    const unsigned char* local;   // this machine's end (16 bytes, as in the rows); null: not known
    const unsigned char* remote;  // the peer's (16 bytes); null: not known
    unsigned remotePort;
};

// The owner of a local end: for TCP the row with the peer's address and port
// first, then any row of the port; for UDP the row bound to the local
// address, then one bound to none (a socket bound to another address cannot
// have the frame). Among rows alike, the first whose PID is not 0 (a live
// socket, not a closing connection), else the first. PID_NONE: no row has
// it.
uint32_t PortOwner(const std::vector<OwnerRow>& rows, const PortQuery& query);

enum {
    OWNER_LOOK_UNKNOWN_MS = 1000,  // a port with traffic has no known owner
    OWNER_LOOK_KNOWN_MS = 5000     // ports have traffic: sockets close, ports are reused
};

// Whether the owner tables are to be read now. lastLookMs: the last read,
// 0 for none yet.
bool OwnerLookDue(uint64_t nowMs, uint64_t lastLookMs, bool unknownWithTraffic, bool anyTraffic);
