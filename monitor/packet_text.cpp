#include "monitor/packet_text.h"
#include <cstring>
#include "res/resource.h"

namespace {

// The IP view up to the last byte any path reads (IPv6 port: bytes 40-41),
// copied so that bytes beyond the captured length read as zero.
enum { VIEW_BYTES = 42 };

struct View {
    unsigned char b[VIEW_BYTES];
};

void LoadView(const unsigned char* ipView, size_t ipLength, View* view)
{
    std::memset(view->b, 0, sizeof view->b);
    size_t n = ipLength < sizeof view->b ? ipLength : sizeof view->b;
    if (n > 0 && ipView != nullptr)
        std::memcpy(view->b, ipView, n);
}

bool IsIpv6(const View& view) { return (view.b[0] & 0xF0) == 0x60; }

// Unsigned decimal without leading zeros; returns the end.
char* PutDecimal(char* p, unsigned value)
{
    char digits[10];
    int n = 0;
    do {
        digits[n++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    while (n > 0)
        *p++ = digits[--n];
    return p;
}

// printf's "%N.Nd": a "-" for negative values, then at least `width` digits.
char* PutPadded(char* p, int value, int width)
{
    long long v = value;
    if (v < 0) {
        *p++ = '-';
        v = -v;
    }
    char digits[20];
    int n = 0;
    do {
        digits[n++] = static_cast<char>('0' + v % 10);
        v /= 10;
    } while (v != 0);
    while (n < width)
        digits[n++] = '0';
    while (n > 0)
        *p++ = digits[--n];
    return p;
}

const char kHex[] = "0123456789abcdef";

char* PutHexByte(char* p, unsigned char byte)
{
    *p++ = kHex[byte >> 4];
    *p++ = kHex[byte & 15];
    return p;
}

// "%d.%d.%d.%d" of four bytes.
void DottedText(const unsigned char* bytes, char* out)
{
    char* p = out;
    for (int i = 0; i < 4; ++i) {
        if (i > 0)
            *p++ = '.';
        p = PutDecimal(p, bytes[i]);
    }
    *p = '\0';
}

// Eight full groups of four hexadecimal digits, then " % " and the tail.
void Ipv6Text(const unsigned char* bytes, const unsigned char* tail, char* out)
{
    char* p = out;
    for (int i = 0; i < 16; i += 2) {
        if (i > 0)
            *p++ = ':';
        p = PutHexByte(p, bytes[i]);
        p = PutHexByte(p, bytes[i + 1]);
    }
    *p++ = ' ';
    *p++ = '%';
    *p++ = ' ';
    if (tail != nullptr) {
        p = PutHexByte(p, tail[0]);
        p = PutHexByte(p, tail[1]);
    } else {
        *p++ = 'x';
        *p++ = 'x';
    }
    *p = '\0';
}

// The IPv6 source address: bytes 8 to 23 of the header.
const size_t IPV6_SOURCE_END = 24;

bool IsOwnIpv6(const unsigned char* source, const OwnIpv6Addresses* own)
{
    return IsIpv6Loopback(source) || HasOwnIpv6(own, source);
}

struct ServiceName {
    unsigned port;
    const char* protocol;
    const char* name;
};

const ServiceName kServiceNames[] = {
    { 25, "TCP", "SMTP" },  { 53, "UDP", "DNS" },   { 67, "UDP", "DHCP" },
    { 68, "UDP", "DHCP" },  { 80, "TCP", "HTTP" },  { 110, "TCP", "POP3" },
    { 119, "TCP", "NNTP" }, { 123, "UDP", "NTP" },  { 143, "TCP", "IMAP" },
    { 443, "TCP", "HTTPS" },
};

char* PutText(char* p, const char* text)
{
    size_t n = std::strlen(text);
    std::memcpy(p, text, n);
    return p + n;
}

} // namespace

size_t FormatPacketTime(const struct tm& local, char* out, size_t size)
{
    // Six fields of at most 11 characters each and five separators.
    char text[80];
    char* p = text;
    p = PutPadded(p, local.tm_year + 1900, 4);
    *p++ = '/';
    p = PutPadded(p, local.tm_mon + 1, 2);
    *p++ = '/';
    p = PutPadded(p, local.tm_mday, 2);
    *p++ = ' ';
    p = PutPadded(p, local.tm_hour, 2);
    *p++ = ':';
    p = PutPadded(p, local.tm_min, 2);
    *p++ = ':';
    p = PutPadded(p, local.tm_sec, 2);
    size_t length = static_cast<size_t>(p - text);
    if (out == nullptr || size == 0)
        return 0;
    if (length >= size) {
        out[0] = '\0';
        return 0;
    }
    std::memcpy(out, text, length);
    out[length] = '\0';
    return length;
}

const char* PacketTimeText::Of(int64_t seconds)
{
    if (made_ && seconds == seconds_)
        return text_;
    time_t t = static_cast<time_t>(seconds);
    struct tm local;
#ifdef _WIN32
    bool converted = localtime_s(&local, &t) == 0;
#else
    bool converted = localtime_r(&t, &local) != nullptr;
#endif
    if (!converted || FormatPacketTime(local, text_, sizeof text_) == 0)
        std::memcpy(text_, "0000/00/00 00:00:00", sizeof "0000/00/00 00:00:00");
    made_ = true;
    seconds_ = seconds;
    return text_;
}

unsigned LampIconOfColour(int32_t colour)
{
    return colour == 1 ? ICON_RED : ICON_YELLOW;
}

void SummarizePacket(const unsigned char* ipView, size_t ipLength, const char* adapterAddress,
                     int32_t colorSend, int32_t colorRecv, PacketSummary* out,
                     const OwnIpv6Addresses* ownIpv6)
{
    View view;
    LoadView(ipView, ipLength, &view);
    bool send;
    if (IsIpv6(view)) {
        out->ipVersion = 6;
        Ipv6Text(view.b + 8, view.b, out->sourceText);
        send = ipLength >= IPV6_SOURCE_END && IsOwnIpv6(view.b + 8, ownIpv6);
    } else {
        out->ipVersion = 4;
        DottedText(view.b + 12, out->sourceText);
        send = (adapterAddress != nullptr && std::strcmp(out->sourceText, adapterAddress) == 0)
               || std::strcmp(out->sourceText, "127.0.0.1") == 0;
    }
    out->direction = send ? "SEND" : "RECV";
    out->iconId = LampIconOfColour(send ? colorSend : colorRecv);
}

const char* ServiceNameOf(unsigned port, const char* protocolText)
{
    for (const ServiceName& row : kServiceNames)
        if (row.port == port && std::strcmp(row.protocol, protocolText) == 0)
            return row.name;
    return nullptr;
}

void DescribePacket(const unsigned char* ipView, size_t ipLength, PacketDetail* out)
{
    View view;
    LoadView(ipView, ipLength, &view);
    unsigned protocol;
    unsigned port;
    if (IsIpv6(view)) {
        protocol = view.b[6];
        port = static_cast<unsigned>(view.b[40]) << 8 | view.b[41];
        Ipv6Text(view.b + 24, nullptr, out->destinationText);
    } else {
        protocol = view.b[9];
        port = static_cast<unsigned>(view.b[20]) << 8 | view.b[21];
        DottedText(view.b + 16, out->destinationText);
    }
    if (protocol == 6)
        std::memcpy(out->protocolText, "TCP", 4);
    else if (protocol == 17)
        std::memcpy(out->protocolText, "UDP", 4);
    else
        *PutDecimal(out->protocolText, protocol) = '\0';
    const char* service = ServiceNameOf(port, out->protocolText);
    if (service != nullptr) {
        std::memcpy(out->portText, service, std::strlen(service) + 1);
    } else {
        *PutDecimal(out->portText, port) = '\0';
    }
}

size_t FormatLogLine(const char* timeText, const PacketSummary& summary,
                     const PacketDetail& detail, char* out, size_t size)
{
    if (out == nullptr || size == 0)
        return 0;
    static const char kTime[] = "Time=";
    static const char kVersion[] = "\tIPv";
    static const char kProtocol[] = "\tProtocol=";
    static const char kPort[] = "\tPort=";
    static const char kSend[] = "\tSend Address=";
    static const char kRecv[] = "\tRecv Address=";
    char version[12];
    *PutPadded(version, summary.ipVersion, 1) = '\0';
    size_t length = (sizeof kTime - 1) + std::strlen(timeText) + 1 + std::strlen(summary.direction)
                    + (sizeof kVersion - 1) + std::strlen(version)
                    + (sizeof kProtocol - 1) + std::strlen(detail.protocolText)
                    + (sizeof kPort - 1) + std::strlen(detail.portText)
                    + (sizeof kSend - 1) + std::strlen(summary.sourceText)
                    + (sizeof kRecv - 1) + std::strlen(detail.destinationText) + 1;
    if (length >= size) {
        out[0] = '\0';
        return 0;
    }
    char* p = out;
    p = PutText(p, kTime);
    p = PutText(p, timeText);
    *p++ = '\t';
    p = PutText(p, summary.direction);
    p = PutText(p, kVersion);
    p = PutText(p, version);
    p = PutText(p, kProtocol);
    p = PutText(p, detail.protocolText);
    p = PutText(p, kPort);
    p = PutText(p, detail.portText);
    p = PutText(p, kSend);
    p = PutText(p, summary.sourceText);
    p = PutText(p, kRecv);
    p = PutText(p, detail.destinationText);
    *p++ = '\n';
    *p = '\0';
    return length;
}
