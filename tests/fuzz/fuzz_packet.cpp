// The per-packet path of the capture thread, less the Win32 effects: a frame
// of any length and content, a capture time of any value, logging on or off.
// Checks that no byte beyond the captured length is read (the frame sits in
// a heap block of exactly its length), that every log line is well formed,
// and that a frame's local ends hold ports read from captured bytes.
//
// Input: 1 byte of options, 8 bytes of capture seconds, the adapter's own
// IPv6 addresses (a count byte, its value as the table's count, then
// count % 34 addresses of 16 bytes, as many as the input holds), then the
// frame.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include "monitor/packet_text.h"
#include "monitor/port_traffic.h"
#include "res/resource.h"

namespace {

const size_t kEthernetHeader = 14;

void Fail(const char* what, const char* text)
{
    std::fprintf(stderr, "fuzz_packet: %s: [%s]\n", what, text);
    std::abort();
}

bool IsDigits(const char* p, size_t n)
{
    for (size_t i = 0; i < n; ++i)
        if (p[i] < '0' || p[i] > '9')
            return false;
    return true;
}

// "%d.%d.%d.%d" with each part 0-255, or the IPv6 form of the given tail.
bool IsAddress(const char* text, int version, bool source)
{
    size_t n = std::strlen(text);
    if (version == 6) {
        if (n != (source ? 46u : 44u))
            return false;
        for (size_t i = 0; i < 39; ++i) {
            char c = text[i];
            bool hex = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
            if (i % 5 == 4 ? c != ':' : !hex)
                return false;
        }
        if (std::strncmp(text + 39, " % ", 3) != 0)
            return false;
        return source ? std::strspn(text + 42, "0123456789abcdef") == 4
                      : std::strcmp(text + 42, "xx") == 0;
    }
    int parts[4];
    char end;
    if (std::sscanf(text, "%d.%d.%d.%d%c", &parts[0], &parts[1], &parts[2], &parts[3], &end) != 4)
        return false;
    for (int part : parts)
        if (part < 0 || part > 255)
            return false;
    return std::strspn(text, "0123456789.") == n;
}

void CheckLine(const char* line, size_t length, const char* timeText, const PacketSummary& summary,
               const PacketDetail& detail)
{
    if (length == 0 || length != std::strlen(line) || line[length - 1] != '\n')
        Fail("line not written whole", line);
    char expected[PACKET_LINE_SIZE * 2];
    int n = std::snprintf(expected, sizeof expected,
                          "Time=%s\t%s\tIPv%d\tProtocol=%s\tPort=%s\tSend Address=%s\tRecv Address=%s\n",
                          timeText, summary.direction, summary.ipVersion, detail.protocolText,
                          detail.portText, summary.sourceText, detail.destinationText);
    if (n < 0 || static_cast<size_t>(n) != length || std::strcmp(expected, line) != 0)
        Fail("line differs from its format", line);
    if (!IsAddress(detail.destinationText, summary.ipVersion, false))
        Fail("destination", detail.destinationText);
    const char* protocol = detail.protocolText;
    if (std::strcmp(protocol, "TCP") != 0 && std::strcmp(protocol, "UDP") != 0
        && !(IsDigits(protocol, std::strlen(protocol)) && std::atoi(protocol) <= 255
             && std::atoi(protocol) != 6 && std::atoi(protocol) != 17))
        Fail("protocol", protocol);
    const char* port = detail.portText;
    if (IsDigits(port, std::strlen(port))) {
        long value = std::strtol(port, nullptr, 10);
        if (value > 65535 || ServiceNameOf(static_cast<unsigned>(value), protocol) != nullptr
            || (port[0] == '0' && port[1] != '\0'))
            Fail("port", port);
    } else if (std::strspn(port, "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789") != std::strlen(port)
               || port[0] == '\0') {
        Fail("port name", port);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 10)
        return 0;
    const uint8_t options = data[0];
    int64_t rawSeconds;
    std::memcpy(&rawSeconds, data + 1, sizeof rawSeconds);
    const bool logging = options & 1;
    const char* adapter = (options & 2) ? "192.168.1.10" : ((options & 4) ? nullptr : "0.0.0.0");
    const int32_t colorSend = (options >> 3) & 3;
    const int32_t colorRecv = (options >> 5) & 3;

    // The table's count may claim more than it holds: never read past it.
    OwnIpv6Addresses own;
    std::memset(&own, 0, sizeof own);
    own.count = data[9];
    size_t given = std::min<size_t>(data[9] % 34, (size - 10) / 16);
    for (size_t i = 0; i < given && i < OWN_IPV6_MAX; ++i)
        std::memcpy(own.address[i], data + 10 + 16 * i, 16);
    size_t start = 10 + 16 * given;

    // The frame in a block of exactly its captured length.
    size_t captured = size - start;
    unsigned char* frame = static_cast<unsigned char*>(std::malloc(captured ? captured : 1));
    if (captured)
        std::memcpy(frame, data + start, captured);

    // Capture time: real captures hold 32-bit seconds; any 64-bit value
    // must still give a terminated text.
    time_t seconds = (options & 0x80) ? static_cast<time_t>(static_cast<int32_t>(rawSeconds))
                                      : static_cast<time_t>(rawSeconds);
    struct tm local;
    char timeText[PACKET_TIME_SIZE];
    std::memset(timeText, 0x55, sizeof timeText);
    if (localtime_r(&seconds, &local) != nullptr)
        FormatPacketTime(local, timeText, sizeof timeText);
    else
        std::strcpy(timeText, "0000/00/00 00:00:00");
    if (std::memchr(timeText, '\0', sizeof timeText) == nullptr)
        Fail("time text unterminated", "");
    if (local.tm_year >= -1900 && local.tm_year <= 8099 && std::strlen(timeText) != 19)
        Fail("time text", timeText);
    // The packet path's text, made once per second: the same, also when
    // asked again after another second.
    static PacketTimeText times;
    if (std::strcmp(times.Of(seconds), timeText) != 0 || times.Of(seconds ^ 1) == nullptr
        || std::strcmp(times.Of(seconds), timeText) != 0)
        Fail("time text made once per second", timeText);

    size_t skipped = captured < kEthernetHeader ? captured : kEthernetHeader;
    const unsigned char* ipView = frame + skipped;
    size_t ipLength = captured - skipped;

    PacketSummary summary;
    SummarizePacket(ipView, ipLength, adapter, colorSend, colorRecv, &summary, &own);
    if (summary.ipVersion != 4 && summary.ipVersion != 6)
        Fail("version", "");
    if (!IsAddress(summary.sourceText, summary.ipVersion, true))
        Fail("source", summary.sourceText);
    bool send;
    if (summary.ipVersion == 6) {
        // The whole 16-byte source captured, and ::1 or one of the table.
        static const unsigned char loopback[16] = { 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1 };
        send = false;
        if (ipLength >= 24) {
            send = std::memcmp(ipView + 8, loopback, 16) == 0;
            for (size_t i = 0; i < OWN_IPV6_MAX && i < own.count; ++i)
                send = send || std::memcmp(ipView + 8, own.address[i], 16) == 0;
        }
    } else {
        send = (adapter != nullptr && std::strcmp(summary.sourceText, adapter) == 0)
               || std::strcmp(summary.sourceText, "127.0.0.1") == 0;
    }
    if (std::strcmp(summary.direction, send ? "SEND" : "RECV") != 0)
        Fail("direction", summary.direction);
    if (summary.iconId != ((send ? colorSend : colorRecv) == 1 ? ICON_RED : ICON_YELLOW))
        Fail("icon", summary.direction);

    // The local ends: at most two, TCP or UDP, each port the two bytes at its
    // place in the transport header, which lies wholly within the capture.
    OwnEnds ownEnds = { false, {}, &own };
    SetOwnIpv4(adapter, &ownEnds);
    FrameEnds ends;
    FrameEndsOf(frame, captured, ownEnds, &ends);
    if (ends.count > 2 || ends.direction > 1)
        Fail("ends", "");
    if (ends.count > 0) {
        bool v6 = frame[12] == 0x86 && frame[13] == 0xdd;
        size_t transport = kEthernetHeader + (v6 ? 40 : static_cast<size_t>(frame[14] & 15) * 4);
        if (transport + 4 > captured)
            Fail("ends beyond the capture", "");
        for (unsigned i = 0; i < ends.count; ++i) {
            size_t at = transport + (ends.end[i].direction == PORT_SENT ? 0 : 2);
            if (ends.end[i].protocol > PORT_UDP || ends.end[i].port != (static_cast<unsigned>(frame[at]) << 8 | frame[at + 1]))
                Fail("end port", "");
        }
    }

    if (logging) {
        PacketDetail detail;
        DescribePacket(ipView, ipLength, &detail);
        char line[PACKET_LINE_SIZE];
        size_t length = FormatLogLine(timeText, summary, detail, line, sizeof line);
        CheckLine(line, length, timeText, summary, detail);
    }
    std::free(frame);
    return 0;
}
