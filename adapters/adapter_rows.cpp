#include "adapters/adapter_rows.h"
#include "adapters/adapter_messages.h"
#include <cstdio>
#include <cstring>

namespace {
// Leading "\Device\NPF_" (or any 12 characters) before the GUID.
const size_t DEVICE_PREFIX_LENGTH = 12;
}

int FindAdapterIndex(const AdapterTable* table, const char* name)
{
    for (int i = 0; i < table->count; ++i)
        if (std::strcmp(table->connectionName[i], name) == 0)
            return i;
    return -1;
}

void CompactAdapterTable(AdapterTable* table)
{
    int kept = -1;
    for (int i = 0; i < table->count; ++i) {
        if (table->ipv4Address[i][0] == '\0')
            continue;
        ++kept;
        if (i != kept) {
            std::memcpy(table->deviceName[kept], table->deviceName[i], ADAPTER_TEXT_SIZE);
            std::memcpy(table->ipv4Address[kept], table->ipv4Address[i], ADAPTER_TEXT_SIZE);
            std::memcpy(table->connectionName[kept], table->connectionName[i], ADAPTER_TEXT_SIZE);
        }
    }
    table->count = kept + 1;
}

bool DeviceHasGuid(const char* deviceName, const char* guid)
{
    // Never look past the terminator into an earlier build's bytes.
    return strnlen(deviceName, ADAPTER_TEXT_SIZE) > DEVICE_PREFIX_LENGTH
        && std::strcmp(deviceName + DEVICE_PREFIX_LENGTH, guid) == 0;
}

int FindAdapterByGuid(const AdapterTable* table, const char* guid)
{
    for (int i = 0; i < table->count; ++i)
        if (DeviceHasGuid(table->deviceName[i], guid))
            return i;
    return -1;
}

int FillFromSystemAdapter(AdapterTable* table, const char* guid, const char* name, const char* address)
{
    size_t nameLength = strnlen(name, ADAPTER_TEXT_SIZE);
    size_t addressLength = strnlen(address, ADAPTER_TEXT_SIZE);
    if (nameLength == 0 || nameLength >= ADAPTER_TEXT_SIZE || addressLength == 0
        || addressLength >= ADAPTER_TEXT_SIZE)
        return 0;
    int filled = 0;
    for (int i = 0; i < table->count; ++i) {
        const char* device = table->deviceName[i];
        if (table->ipv4Address[i][0] != '\0' || !DeviceHasGuid(device, guid))
            continue;
        std::memcpy(table->connectionName[i], name, nameLength + 1);
        std::memcpy(table->ipv4Address[i], address, addressLength + 1);
        ++filled;
    }
    return filled;
}

void FormatIpv4Address(const unsigned char bytes[4], char* text)
{
    std::snprintf(text, 16, "%u.%u.%u.%u", bytes[0], bytes[1], bytes[2], bytes[3]);
}

int FindIpconfigRow(const IpconfigTable* table, const char* name)
{
    for (int k = 0; k < table->count; ++k)
        if (std::strcmp(table->connectionName[k], name) == 0)
            return k;
    return -1;
}

int TakeCaptureDevice(AdapterTable* table, const char* deviceName)
{
    if (table->count >= ADAPTER_MAX)
        return DEVICE_TABLE_FULL;
    int i = table->count;
    if (!CopyField(table->deviceName[i], ADAPTER_TEXT_SIZE, deviceName))
        return DEVICE_NAME_TOO_LONG;
    table->connectionName[i][0] = '\0';
    table->ipv4Address[i][0] = '\0';
    table->count = i + 1;
    return DEVICE_TAKEN;
}

bool CopyField(char* dest, size_t fieldSize, const char* src)
{
    size_t length = strnlen(src, fieldSize);
    if (length >= fieldSize)
        return false;
    std::memcpy(dest, src, length + 1);
    return true;
}

void ComposeListingFailure(char* message, size_t size, const char* libraryError)
{
    size_t first = sizeof MSG_FINDALLDEVS_FAILED - 1;
    if (size <= first) {
        if (size > 0)
            message[0] = '\0';
        return;
    }
    std::memcpy(message, MSG_FINDALLDEVS_FAILED, first + 1);
    size_t reason = strnlen(libraryError, size);
    if (first + reason < size)
        std::memcpy(message + first, libraryError, reason + 1);
}
