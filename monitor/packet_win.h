#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <windows.h>

struct pcap_pkthdr;
class LogBatch;

// What the packet path gathers during one capture read: the log lines (in
// the run's buffer) and the lamp colour of the read's last frame.
struct PacketBatch {
    LogBatch* log;
    const std::atomic<int32_t>* stopping; // the run's stop flag
    unsigned frames;
    unsigned lastIcon;
};

// libpcap packet callback; runs on the capture thread. user: the PacketBatch.
void OnPacket(unsigned char* user, const struct pcap_pkthdr* header, const unsigned char* bytes);
// ipView: the frame from offset 14 on, ipLength bytes of it captured.
void ClassifyPacket(PacketBatch* batch, const unsigned char* ipView, size_t ipLength,
                    const char* timeText);
// After each read: the lamp hears of the read's last frame, then its lines
// are written out together.
void EndPacketBatch(PacketBatch* batch, HWND window);
