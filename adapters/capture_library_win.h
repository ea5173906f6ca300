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
    decltype(pcap_loop)* loop;
    decltype(pcap_breakloop)* breakloop;
    decltype(pcap_close)* close;
};

extern const char CAPTURE_LIBRARY_MISSING[];

// Loads the library once per process; later calls return the first answer.
// Returns nullptr when no usable library was found.
const CaptureLibrary* GetCaptureLibrary();
