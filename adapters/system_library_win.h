// System libraries bound at run time, from the system folder only: a bare
// name would let the program's or the current folder supply a planted DLL.
#pragma once
#include <winsock2.h>
#include <windows.h>
#include <iphlpapi.h>
#include "core/bind_entry.h"

// LoadLibraryEx of the system folder's file at that relative path
// ("iphlpapi.dll", "Npcap\\wpcap.dll") with those flags, or null.
HMODULE LoadSystemLibrary(const char* relativePath, DWORD flags = 0);

// iphlpapi.dll from the system folder, loaded once; null where it cannot be.
HMODULE IpHelperLibrary();

#include <vector>

// The IP Helper's adapters with their unicast addresses of one family
// (AF_INET, AF_INET6), anycast, multicast and DNS servers left out, as an
// IP_ADAPTER_ADDRESSES list at the buffer's start. False when iphlpapi.dll
// or the answer is missing.
bool QueryAdapterAddresses(ULONG family, std::vector<unsigned char>* buffer);

// The IP Helper's table of sockets with their owning processes, of one
// family (AF_INET, AF_INET6): TCP (TCP_TABLE_OWNER_PID_ALL, a
// MIB_TCPTABLE_OWNER_PID or MIB_TCP6TABLE_OWNER_PID) or UDP
// (UDP_TABLE_OWNER_PID), at the buffer's start. False when iphlpapi.dll,
// the function or the answer is missing.
bool QuerySocketOwners(bool tcp, ULONG family, std::vector<unsigned char>* buffer);
