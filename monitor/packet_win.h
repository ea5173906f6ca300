#pragma once
#include <cstddef>
#include <cstdint>

struct pcap_pkthdr;

// libpcap packet callback; runs on the capture thread.
void OnPacket(unsigned char* user, const struct pcap_pkthdr* header, const unsigned char* bytes);
// ipView: the frame from offset 14 on, ipLength bytes of it captured.
void ClassifyPacket(const unsigned char* ipView, size_t ipLength, const char* timeText);
