// System libraries bound at run time, from the system folder only: a bare
// name would let the program's or the current folder supply a planted DLL.
#pragma once
#include <winsock2.h>
#include <windows.h>
#include <iphlpapi.h>

// LoadLibraryEx of the system folder's file of that name, or null.
HMODULE LoadSystemLibrary(const char* fileName);

using GetAdaptersAddressesFn = ULONG WINAPI(ULONG, ULONG, PVOID, PIP_ADAPTER_ADDRESSES, PULONG);
// iphlpapi.dll's GetAdaptersAddresses, looked up once; null when missing.
GetAdaptersAddressesFn* LoadGetAdaptersAddresses();
