// Row logic of the adapter tables, free of Windows calls.
#pragma once
#include <cstddef>
#include "core/adapter_table.h"

// Index of the first entry whose connection name equals name exactly, or -1.
int FindAdapterIndex(const AdapterTable* table, const char* name);

// Drops the entries without an IPv4 address, keeping the order of the rest.
void CompactAdapterTable(AdapterTable* table);

// Whether the device name, from its 13th character on (after
// "\Device\NPF_"), equals guid exactly. Names of 12 characters or fewer
// have no GUID part.
bool DeviceHasGuid(const char* deviceName, const char* guid);
// Index of the first entry whose device name has that GUID, or -1.
int FindAdapterByGuid(const AdapterTable* table, const char* guid);

// Gives name and address to every entry whose GUID part equals guid and that
// has no address yet (the report and the registry found none for it); the
// entries already filled stay exactly as they are. Returns how many it filled.
int FillFromSystemAdapter(AdapterTable* table, const char* guid, const char* name, const char* address);

// Dotted decimal text of an IPv4 address in network byte order; text holds
// at least 16 bytes.
void FormatIpv4Address(const unsigned char bytes[4], char* text);

// Index of the first complete row whose connection name equals name, or -1.
int FindIpconfigRow(const IpconfigTable* table, const char* name);

enum {
    DEVICE_TAKEN = 0,
    DEVICE_NAME_TOO_LONG,
    DEVICE_TABLE_FULL
};
// Appends a capture device with empty connection name and address.
int TakeCaptureDevice(AdapterTable* table, const char* deviceName);

// Copies src into a field of fieldSize bytes; false (and dest untouched) when
// it does not fit with its terminator.
bool CopyField(char* dest, size_t fieldSize, const char* src);

// The listing-failure text: the fixed sentence, followed directly by the
// library's reason when both fit below size characters.
void ComposeListingFailure(char* message, size_t size, const char* libraryError);
