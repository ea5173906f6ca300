// The report parser on arbitrary bytes, split into arbitrary lines. Each line
// (at most what the scan's 2000-byte buffer holds, terminator included) is
// parsed in a heap block of exactly its size, so that a read or write past
// its terminator is caught. After each line the table must stay sound.
//
// Input: the report bytes. Each line is as long as the report's own line
// ends make it, but is cut earlier where a byte 0x1F marks a split (the
// 0x1F itself is dropped), and at 1999 bytes like fgets into 2000 bytes.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include "adapters/ipconfig_parser.h"

namespace {

IpconfigTable table; // large: one for the process, as in the program

void Fail(const char* what)
{
    std::fprintf(stderr, "fuzz_ipconfig: %s\n", what);
    std::abort();
}

void CheckTable(int32_t countBefore, int result)
{
    if (table.count < 0 || table.count > ADAPTER_MAX)
        Fail("count out of range");
    if (table.count < countBefore || table.count > countBefore + 1)
        Fail("count moved by more than one row per line");
    if (result != IPCONFIG_OK && result != IPCONFIG_NAME_TOO_LONG
        && result != IPCONFIG_ADDRESS_TOO_LONG && result != IPCONFIG_TOO_MANY)
        Fail("unknown result");
    if (result != IPCONFIG_OK && IpconfigFailureText(result)[0] == '\0')
        Fail("failure without text");
    for (int i = 0; i <= table.count && i < ADAPTER_MAX; ++i) {
        if (std::memchr(table.connectionName[i], '\0', ADAPTER_TEXT_SIZE) == nullptr)
            Fail("connection name unterminated");
        if (std::memchr(table.ipv4Address[i], '\0', ADAPTER_TEXT_SIZE) == nullptr)
            Fail("address unterminated");
    }
    // A completed row has a value of at least 2 bytes.
    if (table.count > countBefore && std::strlen(table.ipv4Address[table.count - 1]) < 2)
        Fail("short address stored");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::memset(&table, 0, sizeof table);
    size_t at = 0;
    while (at < size) {
        size_t end = at;
        while (end < size && end - at < IPCONFIG_LINE_SIZE - 1 && data[end] != 0x1F
               && data[end] != '\n')
            ++end;
        size_t take = end - at;
        bool newline = end < size && data[end] == '\n' && take < IPCONFIG_LINE_SIZE - 1;
        if (newline)
            ++take;
        char* line = static_cast<char*>(std::malloc(take + 1));
        std::memcpy(line, data + at, take);
        line[take] = '\0';
        at += take;
        if (at < size && data[at] == 0x1F)
            ++at;

        int32_t before = table.count;
        int result = ParseIpconfigLine(&table, line);
        std::free(line);
        CheckTable(before, result);
        if (result != IPCONFIG_OK)
            break;
    }

    // The same bytes as a report file, the way the scan reads it.
    std::FILE* report = fmemopen(const_cast<uint8_t*>(data), size ? size : 1, "r");
    if (report != nullptr) {
        if (size == 0)
            std::fgetc(report);
        int result = ParseIpconfigReport(&table, report);
        std::fclose(report);
        CheckTable(table.count > 0 ? table.count - 1 : 0, result);
    }
    return 0;
}
