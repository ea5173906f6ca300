// The texts of one captured packet: time, addresses, direction,
// protocol, port, the lamp icon and the connection-log line. Portable: no
// Windows types; ClassifyPacket (packet_win.cpp) feeds it from the run's
// batch and the colour settings.
//
// Every function writes into fixed buffers of the caller and allocates
// nothing. No byte of the IP view at or beyond ipLength is ever read: a field
// that lies (partly) beyond the captured length reads as zero there.
#pragma once
#include <cstddef>
#include <cstdint>
#include <ctime>
#include "core/own_addresses.h"

enum {
    PACKET_TIME_SIZE = 80,     // "YYYY/MM/DD hh:mm:ss": 19 characters for years 0-9999,
                               // room for any int fields of a struct tm
    PACKET_ADDRESS_SIZE = 48,  // IPv6 source: 46 characters, destination 44
    PACKET_PROTOCOL_SIZE = 8,  // "TCP", "UDP" or 0-255 in decimal
    PACKET_PORT_SIZE = 8,      // 0-65535 in decimal, or a service name
    PACKET_LINE_SIZE = 256     // one connection-log line, "\n" and terminator included
};


// The parts that every packet needs, logged or not.
struct PacketSummary {
    int ipVersion;                       // 6 or 4
    char sourceText[PACKET_ADDRESS_SIZE];
    const char* direction;               // "SEND" or "RECV" (static text)
    unsigned iconId;                     // ICON_RED (131) or ICON_YELLOW (130)
};

// The parts that only a logged packet needs.
struct PacketDetail {
    char protocolText[PACKET_PROTOCOL_SIZE];
    char portText[PACKET_PORT_SIZE];
    char destinationText[PACKET_ADDRESS_SIZE];
};

// "%4.4d/%2.2d/%2.2d %2.2d:%2.2d:%2.2d" from a broken-down local time
// (tm_year + 1900, tm_mon + 1, tm_mday, tm_hour, tm_min, tm_sec). Returns the
// length written, 0 (and an empty text) when size is too small.
size_t FormatPacketTime(const struct tm& local, char* out, size_t size);

// The time text of a capture time in seconds since 1970, in local time,
// converted once per second of capture time: the frames of one second
// share it. "0000/00/00 00:00:00" for a time the system cannot convert.
class PacketTimeText {
public:
    const char* Of(int64_t seconds);

private:
    bool made_ = false;
    int64_t seconds_ = 0;
    char text_[PACKET_TIME_SIZE] = "";
};

// Lamp icon of a colour value: 1 gives ICON_RED, any other value ICON_YELLOW.
unsigned LampIconOfColour(int32_t colour);

// Path, source text, direction and icon. adapterAddress is the run's adapter's
// IPv4 address text, "" or null when it has none: then only "127.0.0.1"
// gives "SEND". An IPv6 frame is "SEND" when its 16-byte source
// is ::1 or one of ownIpv6 (may be null); one captured too short to hold its
// source is "RECV".
void SummarizePacket(const unsigned char* ipView, size_t ipLength, const char* adapterAddress,
                     int32_t colorSend, int32_t colorRecv, PacketSummary* out,
                     const OwnIpv6Addresses* ownIpv6 = nullptr);

// Protocol text, port text (with the ServiceNameTable) and destination text.
void DescribePacket(const unsigned char* ipView, size_t ipLength, PacketDetail* out);

// The ServiceNameTable: the name for this port under this protocol text, or
// null when no row matches both.
const char* ServiceNameOf(unsigned port, const char* protocolText);

// "Time=%s\t%s\tIPv%d\tProtocol=%s\tPort=%s\tSend Address=%s\tRecv Address=%s\n".
// Returns the length written (without the terminator), or 0 and an empty
// text when the line does not fit in size bytes.
size_t FormatLogLine(const char* timeText, const PacketSummary& summary,
                     const PacketDetail& detail, char* out, size_t size);
