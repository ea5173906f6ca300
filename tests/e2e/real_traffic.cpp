// NetGlow.exe monitoring this machine's loopback adapter through Wine's own
// capture library (behind the demo forwarder, prefix "capture"), with tcpdump
// recording the same adapter: NetGlow.txt holds one correct line for every
// frame tcpdump saw while NetGlow logged, in order, each line made from
// tcpdump's own reading of the frame. Skipped where this machine does not
// allow capture.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <iphlpapi.h>
#include <icmpapi.h>
#include <gtest/gtest.h>
#include <algorithm>
#include <cstdio>
#include <sstream>
#include "e2e_common.h"
#include "support/host_shell.h"

namespace {

struct Socket {
    SOCKET s = INVALID_SOCKET;
    Socket(int family, int type) : s(socket(family, type, 0)) {}
    explicit Socket(SOCKET accepted) : s(accepted) {}
    ~Socket() { if (s != INVALID_SOCKET) closesocket(s); }
};

sockaddr_storage Loopback(int family)
{
    sockaddr_storage address = {};
    if (family == AF_INET) {
        auto* v4 = reinterpret_cast<sockaddr_in*>(&address);
        v4->sin_family = AF_INET;
        v4->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    } else {
        auto* v6 = reinterpret_cast<sockaddr_in6*>(&address);
        v6->sin6_family = AF_INET6;
        v6->sin6_addr = in6addr_loopback;
    }
    return address;
}

// Bound to the loopback address; the port the system chose is in `address`.
bool BindLoopback(SOCKET s, int family, sockaddr_storage* address)
{
    *address = Loopback(family);
    int length = sizeof *address;
    return bind(s, reinterpret_cast<sockaddr*>(address), sizeof *address) == 0
        && getsockname(s, reinterpret_cast<sockaddr*>(address), &length) == 0;
}

unsigned PortOf(const sockaddr_storage& address)
{
    return ntohs(reinterpret_cast<const sockaddr_in&>(address).sin_port);
}

// One datagram from `sender` to a receiver of the same family; true once received.
bool Datagram(SOCKET sender, int family)
{
    Socket receiver(family, SOCK_DGRAM);
    sockaddr_storage to;
    char byte = 'x';
    return BindLoopback(receiver.s, family, &to)
        && sendto(sender, &byte, 1, 0, reinterpret_cast<sockaddr*>(&to), sizeof to) == 1
        && recv(receiver.s, &byte, 1, 0) == 1;
}

bool UdpDatagram(int family)
{
    Socket sender(family, SOCK_DGRAM);
    return Datagram(sender.s, family);
}

// A connection with one byte each way, closed by both sides.
bool TcpConnection(int family)
{
    Socket listener(family, SOCK_STREAM);
    sockaddr_storage address;
    if (!BindLoopback(listener.s, family, &address) || listen(listener.s, 1) != 0)
        return false;
    Socket client(family, SOCK_STREAM);
    if (connect(client.s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        return false;
    Socket server(accept(listener.s, nullptr, nullptr));
    char byte = 'x';
    bool exchanged = send(client.s, &byte, 1, 0) == 1 && recv(server.s, &byte, 1, 0) == 1
        && send(server.s, &byte, 1, 0) == 1 && recv(client.s, &byte, 1, 0) == 1;
    shutdown(client.s, SD_SEND);
    bool closed = recv(server.s, &byte, 1, 0) == 0;
    shutdown(server.s, SD_SEND);
    return exchanged && closed && recv(client.s, &byte, 1, 0) == 0;
}

bool IcmpEcho()
{
    HANDLE icmp = IcmpCreateFile();
    char data[8] = "netglow";
    char reply[sizeof(ICMP_ECHO_REPLY) + sizeof data + 8];
    DWORD replies = IcmpSendEcho(icmp, htonl(INADDR_LOOPBACK), data, sizeof data, nullptr, reply,
                                 sizeof reply, 5000);
    IcmpCloseHandle(icmp);
    return replies == 1;
}

struct Frame {
    std::string line;    // the line NetGlow must log for it
    unsigned udpSource;  // IPv4 UDP only, else 0
    int protocol;        // IPv4 protocol or IPv6 next header
    int ipVersion;
};

// "a.b.c.d" or an IPv6 address as NetGlow writes it: eight groups of four
// digits; empty when the text is neither.
std::string AddressField(const std::string& text)
{
    in_addr v4;
    if (inet_pton(AF_INET, text.c_str(), &v4) == 1)
        return text;
    in6_addr v6;
    if (inet_pton(AF_INET6, text.c_str(), &v6) != 1)
        return "";
    char out[48];
    const unsigned char* b = v6.s6_addr;
    std::snprintf(out, sizeof out, "%02x%02x:%02x%02x:%02x%02x:%02x%02x:%02x%02x:%02x%02x:%02x%02x:%02x%02x", b[0],
                  b[1], b[2], b[3], b[4], b[5], b[6], b[7], b[8], b[9], b[10], b[11], b[12], b[13], b[14], b[15]);
    return out;
}

// "address.port" or "address" as tcpdump prints an end point.
void SplitEndPoint(std::string text, std::string* address, std::string* port)
{
    size_t dot = text.find_last_of('.');
    bool hasPort = text.find(':') != std::string::npos ? dot != std::string::npos
                                                       : std::count(text.begin(), text.end(), '.') == 4;
    *address = hasPort ? text.substr(0, dot) : text;
    *port = hasPort ? text.substr(dot + 1) : "";
}

// The hexadecimal number after `name` in `text` ("flowlabel 0x"), 0 when
// absent: tcpdump leaves out a field that is zero.
long HexAfter(const std::string& text, const std::string& name)
{
    size_t at = text.find(name);
    return at == std::string::npos ? 0 : std::strtol(text.c_str() + at + name.size(), nullptr, 16);
}

// The field NetGlow logs as "Port" for a frame without ports: ICMP's type
// and code, as tcpdump names them; "?" for a kind this traffic never makes.
std::string TypeAndCode(const std::string& text)
{
    const struct { const char* said; unsigned value; } kinds[] = {
        { "ICMP echo request", 8 << 8 }, { "ICMP echo reply", 0 },
        { "ICMP6, echo request", 128 << 8 }, { "ICMP6, echo reply", 129 << 8 },
    };
    for (const auto& kind : kinds)
        if (text.find(kind.said) != std::string::npos)
            return std::to_string(kind.value);
    return "?";
}

// The frames of tcpdump's file, read by tcpdump itself (-v), with the line
// NetGlow logs for each on the loopback adapter: 127.0.0.1 and ::1 send.
// Source ports here are the system's ephemeral ones, none of which has a
// service name in the log. Empty when tcpdump cannot read the file.
std::vector<Frame> ExpectedFrames(const std::string& pcapPath, std::string* linkType)
{
    std::string unixPath = UnixPathOf(pcapPath);
    std::string text = pcapPath + ".txt", header = pcapPath + ".link";
    std::vector<Frame> frames;
    if (RunHostScript("tcpdump -r '" + unixPath + "' -nn -tt -v >'" + UnixPathOf(text) + "' 2>'"
                      + UnixPathOf(header) + "'") != 0)
        return frames;
    *linkType = ReadFileBytes(header);
    // A frame's text: its first line and the indented ones after it.
    std::vector<std::string> printed;
    for (const std::string& line : Lines(ReadFileBytes(text))) {
        if (!line.empty() && line[0] >= '0' && line[0] <= '9')
            printed.push_back("");
        if (!printed.empty())
            printed.back() += line.substr(0, line.find_last_not_of("\r\n") + 1) + " ";
    }
    for (const std::string& frame : printed) {
        uint32_t seconds = static_cast<uint32_t>(std::strtoul(frame.c_str(), nullptr, 10));
        bool ipv6 = frame.find(" IP6 (") != std::string::npos;
        if (!ipv6 && frame.find(" IP (") == std::string::npos)
            continue; // not IP: NetGlow logs it too, but this traffic makes none
        // The IP header's fields in parentheses, which hold parentheses of
        // their own ("proto UDP (17)"); the end points after them.
        size_t headerEnd = frame.find('(');
        for (int depth = 0; headerEnd < frame.size(); ++headerEnd) {
            depth += frame[headerEnd] == '(' ? 1 : frame[headerEnd] == ')' ? -1 : 0;
            if (depth == 0)
                break;
        }
        std::string ipHeader = frame.substr(0, headerEnd);
        std::istringstream ends(frame.substr(headerEnd + 1));
        std::string from, arrow, to;
        ends >> from >> arrow >> to;
        std::string source, sourcePort, destination, destinationPort;
        SplitEndPoint(from, &source, &sourcePort);
        SplitEndPoint(to.substr(0, to.size() - 1), &destination, &destinationPort);
        // "proto UDP (17)", "next-header TCP (6)": the name, then the number.
        size_t named = ipHeader.find(ipv6 ? "next-header " : "proto ");
        size_t open = named == std::string::npos ? named : ipHeader.find('(', named);
        int protocol = open == std::string::npos ? -1 : std::atoi(ipHeader.c_str() + open + 1);
        std::string protocolText = protocol == 6 ? "TCP" : protocol == 17 ? "UDP" : std::to_string(protocol);
        std::string port = sourcePort.empty() ? TypeAndCode(frame) : sourcePort;
        if (!ipv6 && ipHeader.find("options") != std::string::npos)
            port = "?"; // its port field would lie beyond a longer header
        std::string sourceField = AddressField(source), destinationField = AddressField(destination);
        if (ipv6) {
            // The header's first two bytes: version, traffic class, the
            // flow label's first four bits.
            char tail[8];
            std::snprintf(tail, sizeof tail, "%04lx",
                          0x6000 | HexAfter(ipHeader, "class 0x") << 4 | HexAfter(ipHeader, "flowlabel 0x") >> 16);
            sourceField += std::string(" % ") + tail;
            destinationField += " % xx";
        }
        bool sent = source == "127.0.0.1" || source == "::1";
        Frame expected;
        expected.line = "Time=" + LocalTimeText(seconds) + (sent ? "\tSEND" : "\tRECV") + (ipv6 ? "\tIPv6" : "\tIPv4")
                        + "\tProtocol=" + protocolText + "\tPort=" + port + "\tSend Address=" + sourceField
                        + "\tRecv Address=" + destinationField + "\r\n";
        expected.udpSource = !ipv6 && protocol == IPPROTO_UDP ? static_cast<unsigned>(std::atoi(sourcePort.c_str())) : 0;
        expected.protocol = protocol;
        expected.ipVersion = ipv6 ? 6 : 4;
        frames.push_back(expected);
    }
    return frames;
}

// An ephemeral port: no service name stands for it in the log.
std::string PortText(unsigned port)
{
    return "\tPort=" + std::to_string(port) + "\t";
}

class RealTraffic : public ::testing::Test {
protected:
    void SetUp() override
    {
        WSADATA data;
        ASSERT_EQ(0, WSAStartup(MAKEWORD(2, 2), &data));
        std::string why = WhyNoCaptureOn("lo");
        if (!why.empty())
            GTEST_SKIP() << why;
        ASSERT_TRUE(tcpdump.Start("lo")) << "tcpdump did not start";
    }
    void TearDown() override
    {
        WSACleanup();
    }
    // Bounded: the lines of a read reach the log when the read ends.
    bool WaitForLogLine(const std::string& part, DWORD timeoutMs = 10000)
    {
        return WaitFor([&] { return ReadFileBytes(ng.logPath).find(part) != std::string::npos; }, timeoutMs);
    }

    // The marker sent from `port` is in tcpdump's file; bounded.
    bool WaitForTcpdumpMarker(unsigned port, DWORD timeoutMs = 10000)
    {
        return WaitFor([&] {
            std::string linkType;
            for (const Frame& frame : ExpectedFrames(tcpdump.capturePath, &linkType))
                if (frame.udpSource == port)
                    return true;
            return false;
        }, timeoutMs);
    }

    NetGlowProcess ng;
    HostTcpdump tcpdump;
};

TEST_F(RealTraffic, EveryFrameTcpdumpSawHasItsLineInOrder)
{
    ASSERT_TRUE(WriteWholeFile(ng.settingsPath, SettingsFile(StandardKeys("Loopback", "0", "1"))));
    ASSERT_TRUE(ng.Start());
    ASSERT_NE(nullptr, ng.WaitForMainWindow());
    ASSERT_TRUE(ng.Command(CMD_LOG_START));

    // Probes until NetGlow's capture is open and logging: the first line.
    Socket probe(AF_INET, SOCK_DGRAM);
    sockaddr_storage probeAddress;
    ASSERT_TRUE(BindLoopback(probe.s, AF_INET, &probeAddress));
    DWORD start = GetTickCount();
    do {
        ASSERT_TRUE(Datagram(probe.s, AF_INET));
        ASSERT_LT(GetTickCount() - start, 15000u) << "NetGlow logged no frame of the loopback adapter";
    } while (!WaitForLogLine("\r\n", 50));

    ASSERT_TRUE(IcmpEcho());
    ASSERT_TRUE(TcpConnection(AF_INET));
    ASSERT_TRUE(UdpDatagram(AF_INET));
    ASSERT_TRUE(TcpConnection(AF_INET6));
    ASSERT_TRUE(UdpDatagram(AF_INET6));

    Socket marker(AF_INET, SOCK_DGRAM);
    sockaddr_storage markerAddress;
    ASSERT_TRUE(BindLoopback(marker.s, AF_INET, &markerAddress));
    ASSERT_TRUE(Datagram(marker.s, AF_INET));
    ASSERT_TRUE(WaitForLogLine(PortText(PortOf(markerAddress))));
    ASSERT_TRUE(WaitForTcpdumpMarker(PortOf(markerAddress)));
    ng.Command(CMD_QUIT);
    ASSERT_EQ(0, ng.WaitForExit());
    ASSERT_TRUE(tcpdump.Stop());

    std::string linkType;
    std::vector<Frame> frames = ExpectedFrames(tcpdump.capturePath, &linkType);
    ASSERT_NE(std::string::npos, linkType.find("link-type EN10MB"))
        << "loopback frames carry a 14-byte Ethernet header: " << linkType;
    // Split at "\n": a line without its "\r" never equals an expected one.
    std::vector<std::string> logged = Lines(ReadFileBytes(ng.logPath));

    // Compared from the marker back: NetGlow's first line is a probe, and
    // every frame tcpdump saw from that probe to the marker is logged.
    size_t end = 0;
    while (end < frames.size() && frames[end].udpSource != PortOf(markerAddress))
        ++end;
    ASSERT_LT(end, frames.size()) << "tcpdump did not see the marker";
    size_t last = 0;
    while (last < logged.size() && logged[last] != frames[end].line)
        ++last;
    ASSERT_LT(last, logged.size()) << "NetGlow did not log the marker";
    ASSERT_LE(last, end);
    size_t first = end - last;
    EXPECT_EQ(PortOf(probeAddress), frames[first].udpSource) << "NetGlow's first line is not a probe";

    std::vector<std::string> expected;
    int icmp = 0, tcp = 0, udp = 0, ipv6 = 0, sentIpv6 = 0;
    for (size_t i = first; i <= end; ++i) {
        expected.push_back(frames[i].line);
        icmp += frames[i].ipVersion == 4 && frames[i].protocol == IPPROTO_ICMP;
        tcp += frames[i].ipVersion == 4 && frames[i].protocol == IPPROTO_TCP;
        udp += frames[i].ipVersion == 4 && frames[i].protocol == IPPROTO_UDP;
        ipv6 += frames[i].ipVersion == 6;
        sentIpv6 += frames[i].ipVersion == 6 && frames[i].line.find("\tSEND\tIPv6\t") != std::string::npos;
    }
    EXPECT_EQ(expected, std::vector<std::string>(logged.begin(), logged.begin() + last + 1));
    // Echo and reply; at least the handshake, both bytes and both closes;
    // probe, datagram and marker; the same over ::1.
    EXPECT_EQ(2, icmp);
    EXPECT_GE(tcp, 8);
    EXPECT_GE(udp, 3);
    EXPECT_GE(ipv6, 9);
    // Every IPv6 frame on the loopback adapter comes from ::1: this machine sent it.
    EXPECT_EQ(ipv6, sentIpv6);
}

} // namespace
