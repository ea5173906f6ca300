// NetGlow.exe monitoring this machine's loopback adapter through Wine's own
// capture library (behind the demo forwarder, prefix "capture"), with tcpdump
// recording the same adapter: NetGlow.txt holds one correct line for every
// frame tcpdump saw while NetGlow logged, in order. Skipped where this
// machine does not allow capture.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <iphlpapi.h>
#include <icmpapi.h>
#include <gtest/gtest.h>
#include <pcap/pcap.h>
#include <cstdio>
#include "monitor/packet_text.h"
#include "res/resource.h"
#include "support/host_shell.h"
#include "support/netglow_process.h"
#include "tests/fakes/pcap_file.h"
#include "tests/wine/support/log_time.h"

namespace {

const size_t ETHERNET_HEADER = 14;
const size_t SNAPSHOT_LENGTH = 64; // what NetGlow asks the library for

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
    std::string line;    // as NetGlow logs it
    unsigned udpSource;  // IPv4 UDP only, else 0
    int protocol;        // IPv4 protocol or IPv6 next header
    int ipVersion;
};

// The frames of tcpdump's file as NetGlow sees them (its snapshot length)
// with the lines it logs for them on the loopback adapter (127.0.0.1,
// sent red, received yellow).
std::vector<Frame> ExpectedFrames(const std::string& pcapPath, uint32_t* linkType)
{
    std::vector<Frame> frames;
    PcapFile file;
    if (!file.Open(pcapPath.c_str()))
        return frames;
    *linkType = file.linkType();
    PcapRecord record;
    while (file.Next(&record)) {
        size_t captured = record.bytes.size() < SNAPSHOT_LENGTH ? record.bytes.size() : SNAPSHOT_LENGTH;
        size_t skipped = captured < ETHERNET_HEADER ? captured : ETHERNET_HEADER;
        const unsigned char* ip = record.bytes.data() + skipped;
        size_t ipLength = captured - skipped;
        std::string time = LocalTimeText(record.seconds);
        PacketSummary summary;
        SummarizePacket(ip, ipLength, "127.0.0.1", 1, 2, &summary);
        PacketDetail detail;
        DescribePacket(ip, ipLength, &detail);
        char line[PACKET_LINE_SIZE];
        size_t length = FormatLogLine(time.c_str(), summary, detail, line, sizeof line);
        Frame frame = { std::string(line, length ? length - 1 : 0) + "\r\n", 0, -1, summary.ipVersion };
        if (ipLength >= 20 && summary.ipVersion == 4) {
            frame.protocol = ip[9];
            size_t header = (ip[0] & 15u) * 4;
            if (frame.protocol == IPPROTO_UDP && ipLength >= header + 2)
                frame.udpSource = static_cast<unsigned>(ip[header]) << 8 | ip[header + 1];
        } else if (ipLength >= 40 && summary.ipVersion == 6) {
            frame.protocol = ip[6];
        }
        frames.push_back(frame);
    }
    return frames;
}

std::vector<std::string> LogLines(const std::string& path)
{
    std::vector<std::string> lines;
    std::string text = ReadWholeFile(path);
    for (size_t start = 0; start < text.size();) {
        size_t end = text.find("\r\n", start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start)); // unterminated: never equal to a line
            break;
        }
        lines.push_back(text.substr(start, end + 2 - start));
        start = end + 2;
    }
    return lines;
}

std::string PortText(unsigned port)
{
    const char* service = ServiceNameOf(port, "UDP");
    return "\tPort=" + (service != nullptr ? std::string(service) : std::to_string(port)) + "\t";
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
        DWORD start = GetTickCount();
        while (ReadWholeFile(ng.logPath).find(part) == std::string::npos) {
            if (GetTickCount() - start > timeoutMs)
                return false;
            Sleep(10);
        }
        return true;
    }

    // The marker sent from `port` is in tcpdump's file; bounded.
    bool WaitForTcpdumpMarker(unsigned port, DWORD timeoutMs = 10000)
    {
        DWORD start = GetTickCount();
        for (;;) {
            uint32_t linkType = 0;
            for (const Frame& frame : ExpectedFrames(tcpdump.capturePath, &linkType))
                if (frame.udpSource == port)
                    return true;
            if (GetTickCount() - start > timeoutMs)
                return false;
            Sleep(10);
        }
    }

    NetGlowProcess ng;
    HostTcpdump tcpdump;
};

TEST_F(RealTraffic, EveryFrameTcpdumpSawHasItsLineInOrder)
{
    ASSERT_TRUE(WriteWholeFile(ng.settingsPath, SettingsFile({
        { "WaitTime", "100" }, { "WaitCount", "50" }, { "WaitFlag", "1" }, { "CardName", "Loopback" },
        { "InitOpt", "-1" }, { "StartOpt", "1" }, { "NowOpt", "0" }, { "ColorSend", "1" },
        { "ColorRecv", "2" }, { "TimeoutP", "20" } })));
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

    uint32_t linkType = 0;
    std::vector<Frame> frames = ExpectedFrames(tcpdump.capturePath, &linkType);
    ASSERT_EQ(static_cast<uint32_t>(DLT_EN10MB), linkType) << "loopback frames carry a 14-byte Ethernet header";
    std::vector<std::string> logged = LogLines(ng.logPath);

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
