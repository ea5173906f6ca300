#include "adapters/ipconfig_parser.h"
#include "adapters/adapter_messages.h"
#include <cstring>

namespace {

struct Prefix {
    const char* bytes;
    size_t length;
};

// "イーサネット アダプタ" and its newer spelling "イーサネット アダプター" in code page 932.
const char JAPANESE_ETHERNET[] =
    "\x83\x43\x81\x5B\x83\x54\x83\x6C\x83\x62\x83\x67\x20\x83\x41\x83\x5F\x83\x76\x83\x5E";
const char JAPANESE_ETHERNET_LONG[] =
    "\x83\x43\x81\x5B\x83\x54\x83\x6C\x83\x62\x83\x67\x20\x83\x41\x83\x5F\x83\x76\x83\x5E\x81\x5B";

const Prefix HEADINGS[] = {
    { "Ethernet adapter", 16 },
    { JAPANESE_ETHERNET, 21 },
    { "Wireless LAN adapter", 20 },
    { "Tunnel adapter", 14 },
};

const Prefix ADDRESSES[] = {
    { "\tIP Address", 11 },
    { "   IP Address", 13 },
    { "        IP Address", 18 },
    { "   IPv4 \x83\x41\x83\x68\x83\x8C\x83\x58", 16 },
    { "   IPv4 Address", 15 },
};

bool StartsWith(const char* line, const Prefix& prefix)
{
    return std::strncmp(line, prefix.bytes, prefix.length) == 0;
}

int HeadingPass(IpconfigTable* table, char* line)
{
    for (const Prefix& heading : HEADINGS) {
        if (!StartsWith(line, heading))
            continue;
        size_t nameStart = heading.length + 1;
        if (heading.bytes == JAPANESE_ETHERNET
            && std::strncmp(line, JAPANESE_ETHERNET_LONG, sizeof JAPANESE_ETHERNET_LONG - 1) == 0)
            nameStart = sizeof JAPANESE_ETHERNET_LONG;
        char* colon = std::strchr(line, ':');
        if (colon == nullptr)
            continue;
        *colon = '\0';
        size_t colonAt = static_cast<size_t>(colon - line);
        if (nameStart + 1 < colonAt) { // a name of at least 2 bytes
            size_t length = colonAt - nameStart;
            if (length >= ADAPTER_TEXT_SIZE)
                return IPCONFIG_NAME_TOO_LONG;
            if (table->count < ADAPTER_MAX)
                std::memcpy(table->connectionName[table->count], line + nameStart, length + 1);
        }
    }
    return IPCONFIG_OK;
}

int AddressPass(IpconfigTable* table, char* line)
{
    for (const Prefix& address : ADDRESSES) {
        size_t length = std::strlen(line);
        if (length <= address.length || !StartsWith(line, address))
            continue;
        size_t valueStart = 0; // 0: no ": " seen, the value has no start
        for (size_t p = address.length; p < length; ++p) {
            if (line[p] == ':' && line[p + 1] == ' ')
                valueStart = p + 2;
            if (line[p] != '\n' && line[p] != '\r' && line[p] != '(')
                continue;
            line[p] = '\0';
            if (valueStart != 0 && valueStart + 1 < p) { // at least 2 bytes
                size_t valueLength = p - valueStart;
                if (valueLength >= ADAPTER_TEXT_SIZE)
                    return IPCONFIG_ADDRESS_TOO_LONG;
                if (table->count >= ADAPTER_MAX)
                    return IPCONFIG_TOO_MANY;
                std::memcpy(table->ipv4Address[table->count], line + valueStart, valueLength + 1);
                ++table->count;
            }
            break;
        }
    }
    return IPCONFIG_OK;
}

} // namespace

int ParseIpconfigLine(IpconfigTable* table, char* line)
{
    int failure = HeadingPass(table, line);
    if (failure != IPCONFIG_OK)
        return failure;
    return AddressPass(table, line);
}

int ParseIpconfigReport(IpconfigTable* table, std::FILE* report)
{
    table->count = 0;
    char line[IPCONFIG_LINE_SIZE];
    while (std::fgets(line, sizeof line, report) != nullptr) {
        int failure = ParseIpconfigLine(table, line);
        if (failure != IPCONFIG_OK)
            return failure;
    }
    return IPCONFIG_OK;
}

const char* IpconfigFailureText(int failure)
{
    switch (failure) {
    case IPCONFIG_NAME_TOO_LONG: return MSG_NAME_TOO_LONG;
    case IPCONFIG_ADDRESS_TOO_LONG: return MSG_ADDRESS_TOO_LONG;
    case IPCONFIG_TOO_MANY: return MSG_TOO_MANY_CARDS;
    default: return "";
    }
}
