// The socket owner tables (GetExtendedTcpTable, GetExtendedUdpTable) as a
// stand-in answers them, for the fake capture library and the Wine tests:
// Wine reports every socket of the machine with owner 0.
#pragma once
#include <winsock2.h>
#include <windows.h>
#include <iphlpapi.h>
#include <cstddef>
#include <cstring>
#include <vector>

// Fills out with the rows as the system does, or asks for a larger buffer.
template <typename Table, typename Row>
DWORD AnswerOwnerTable(const std::vector<Row>& rows, PVOID out, PDWORD size)
{
    DWORD needed = static_cast<DWORD>(offsetof(Table, table) + rows.size() * sizeof(Row));
    if (out == nullptr || *size < needed) {
        *size = needed;
        return ERROR_INSUFFICIENT_BUFFER;
    }
    Table* table = static_cast<Table*>(out);
    table->dwNumEntries = static_cast<DWORD>(rows.size());
    std::memcpy(table->table, rows.data(), rows.size() * sizeof(Row));
    return NO_ERROR;
}

// An IPv4 address as the tables hold it (network order).
inline DWORD Ipv4Of(unsigned char a, unsigned char b, unsigned char c, unsigned char d)
{
    const unsigned char bytes[4] = { a, b, c, d };
    DWORD address;
    std::memcpy(&address, bytes, 4);
    return address;
}
