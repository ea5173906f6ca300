#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <windows.h>

struct pcap_pkthdr;
class LogBatch;
#include "core/own_addresses.h"
#include "monitor/packet_text.h"
#include "monitor/port_traffic.h"

// What the packet path gathers during one capture read: the log lines (in
// the run's buffer) and the lamp colour of the read's last frame.
struct PacketBatch {
    LogBatch* log;
    const std::atomic<int32_t>* stopping; // the run's stop flag
    const std::atomic<int32_t>* logHeld;  // a failed write awaits the GUI thread: log nothing
    unsigned frames;
    unsigned lastIcon;
    uint64_t sentBytes;                   // original lengths, this read
    uint64_t receivedBytes;
    const char* ownIpv4;                  // the adapter's text; "" or null: none
    PacketTimeText time;
    PortTraffic* ports;                   // the bytes per local port; null: not counted
    OwnEnds own;                          // ownIpv4 as bytes, and the adapter's IPv6 addresses (or null)
};

// libpcap packet callback; runs on the capture thread. user: the PacketBatch.
void OnPacket(unsigned char* user, const struct pcap_pkthdr* header, const unsigned char* bytes);
// ipView: the frame from offset 14 on, ipLength bytes of it captured.
// timeText: the frame's time for its log line; null when nothing is logged.
// Returns whether the frame was sent by this machine.
bool ClassifyPacket(PacketBatch* batch, const unsigned char* ipView, size_t ipLength,
                    const char* timeText);
// After each read: the lamp and the rates hear of the read, then its lines
// are written out together.
void EndPacketBatch(PacketBatch* batch, HWND window);
