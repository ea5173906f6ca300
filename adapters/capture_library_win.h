// The capture library (Npcap or WinPcap's wpcap.dll), bound at run time from
// the system folders only, never from the current or the program's folder.
#pragma once
#include <winsock2.h>
#include <windows.h>
#include <pcap/pcap.h>

struct CaptureLibrary {
    decltype(pcap_findalldevs)* findalldevs;
    decltype(pcap_freealldevs)* freealldevs;
    decltype(pcap_open_live)* open_live;
    decltype(pcap_lookupnet)* lookupnet;
    decltype(pcap_dispatch)* dispatch;
    decltype(pcap_breakloop)* breakloop;
    decltype(pcap_close)* close;
    // Optional: without it every device counts as Ethernet.
    decltype(pcap_datalink)* datalink;

    // Immediate delivery, where the library has it (null otherwise): Npcap's
    // create/activate sequence with immediate mode, else WinPcap's
    // "minimum to copy" of 0. Without either, the driver hands frames over
    // only when its buffer fills or the read time-out passes.
    decltype(pcap_create)* create;
    decltype(pcap_set_snaplen)* set_snaplen;
    decltype(pcap_set_promisc)* set_promisc;
    decltype(pcap_set_timeout)* set_timeout;
    decltype(pcap_set_immediate_mode)* set_immediate_mode;
    decltype(pcap_activate)* activate;
    int (*setmintocopy)(pcap_t* handle, int size);
};

extern const char CAPTURE_LIBRARY_MISSING[];

// Loads the library once per process; later calls return the first answer.
// Returns nullptr when no usable library was found.
const CaptureLibrary* GetCaptureLibrary();

// Opens the device for live capture with immediate delivery where the library
// offers it. Returns null when the device cannot be opened.
pcap_t* OpenLiveCapture(const CaptureLibrary& library, const char* deviceName, int snapshotLength,
                        int promiscuous, int readTimeoutMs);
