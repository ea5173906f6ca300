#include "adapters/ipconfig_parser.h"
#include "adapters/adapter_messages.h"
#include <cstring>

namespace {

struct Prefix {
    const char* bytes;
    size_t length;
    // Headings and labels of the later languages: a heading's name loses the
    // spaces before its colon (French prints "Carte Ethernet Ethernet :"),
    // and a label is an address label only when dots and spaces alone stand
    // between it and its ": " (so "IPv4-Adresse (Autokonfiguration)" or a
    // longer label that merely begins the same way is not taken).
    bool strict;
};

// "イーサネット アダプタ" and its newer spelling "イーサネット アダプター" in code page 932.
const char JAPANESE_ETHERNET[] =
    "\x83\x43\x81\x5B\x83\x54\x83\x6C\x83\x62\x83\x67\x20\x83\x41\x83\x5F\x83\x76\x83\x5E";
const char JAPANESE_ETHERNET_LONG[] =
    "\x83\x43\x81\x5B\x83\x54\x83\x6C\x83\x62\x83\x67\x20\x83\x41\x83\x5F\x83\x76\x83\x5E\x81\x5B";

#define PREFIX(text, strict) { text, sizeof text - 1, strict }

// The report is written in the console (OEM) code page: accented letters are
// given in code page 850 (437 has the same bytes for them), Chinese in 936.
// English and Japanese come first, in their old order.
const Prefix HEADINGS[] = {
    PREFIX("Ethernet adapter", false),
    PREFIX(JAPANESE_ETHERNET, false),
    PREFIX("Wireless LAN adapter", false),
    PREFIX("Tunnel adapter", false),
    PREFIX("PPP adapter", true),
    PREFIX("Mobile Broadband adapter", true),
    PREFIX("Unknown adapter", true),
    // German
    PREFIX("Ethernet-Adapter", true),
    PREFIX("Ethernetadapter", true),
    PREFIX("Drahtlos-LAN-Adapter", true),
    PREFIX("Tunneladapter", true),
    PREFIX("PPP-Adapter", true),
    PREFIX("Mobiles Breitband-Adapter", true),
    // French
    PREFIX("Carte Ethernet", true),
    PREFIX("Carte r\x82seau sans fil", true),
    PREFIX("Carte Tunnel", true),
    PREFIX("Carte PPP", true),
    // Spanish
    PREFIX("Adaptador de Ethernet", true),
    PREFIX("Adaptador de LAN inal\xA0mbrica", true),
    PREFIX("Adaptador de t\xA3nel", true),
    PREFIX("Adaptador PPP", true),
    // Portuguese
    PREFIX("Adaptador Ethernet", true),
    PREFIX("Adaptador de Rede sem Fio", true),
    // Italian
    PREFIX("Scheda Ethernet", true),
    PREFIX("Scheda LAN wireless", true),
    // Chinese: 以太网适配器, 无线局域网适配器, 隧道适配器, PPP 适配器, 移动宽带适配器
    PREFIX("\xD2\xD4\xCC\xAB\xCD\xF8\xCA\xCA\xC5\xE4\xC6\xF7", true),
    PREFIX("\xCE\xDE\xCF\xDF\xBE\xD6\xD3\xF2\xCD\xF8\xCA\xCA\xC5\xE4\xC6\xF7", true),
    PREFIX("\xCB\xED\xB5\xC0\xCA\xCA\xC5\xE4\xC6\xF7", true),
    PREFIX("PPP \xCA\xCA\xC5\xE4\xC6\xF7", true),
    PREFIX("\xD2\xC6\xB6\xAF\xBF\xED\xB4\xF8\xCA\xCA\xC5\xE4\xC6\xF7", true),
};

const Prefix ADDRESSES[] = {
    PREFIX("\tIP Address", false),
    PREFIX("   IP Address", false),
    PREFIX("        IP Address", false),
    PREFIX("   IPv4 \x83\x41\x83\x68\x83\x8C\x83\x58", false),
    PREFIX("   IPv4 Address", false),
    PREFIX("   IPv4-Adresse", true),
    PREFIX("        IP-Adresse", true),
    PREFIX("   Adresse IPv4", true),
    PREFIX("        Adresse IP", true),
    PREFIX("   Direcci\xA2n IPv4", true),
    PREFIX("        Direcci\xA2n IP", true),
    PREFIX("   Endere\x87o IPv4", true),
    PREFIX("   Indirizzo IPv4", true),
    PREFIX("   IPv4 \xB5\xD8\xD6\xB7", true), // IPv4 地址
};

#undef PREFIX

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
        size_t nameEnd = static_cast<size_t>(colon - line);
        if (heading.strict)
            while (nameEnd > nameStart && line[nameEnd - 1] == ' ')
                --nameEnd;
        if (nameStart + 1 < nameEnd) { // a name of at least 2 bytes
            size_t length = nameEnd - nameStart;
            if (length >= ADAPTER_TEXT_SIZE)
                return IPCONFIG_NAME_TOO_LONG;
            if (table->count < ADAPTER_MAX) {
                std::memcpy(table->connectionName[table->count], line + nameStart, length);
                table->connectionName[table->count][length] = '\0';
            }
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
            else if (address.strict && valueStart == 0 && line[p] != '.' && line[p] != ' ')
                break; // more label text: another line that begins alike
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
