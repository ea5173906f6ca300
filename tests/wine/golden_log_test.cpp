// The packet path end to end on recorded traffic: tests/fixtures/golden.pcap replayed
// frame by frame through OnPacket, with logging on, writes exactly
// tests/fixtures/golden.log (made by make_golden_pcap.py from the log format's
// rules, independently of this code, for UTC) in the local time of the zone
// the test runs in; once as recorded (November and winter) and once moved
// into the summer, so that a zone's daylight saving counts.
#include <gtest/gtest.h>
#include <pcap/pcap.h>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include "core/app_state.h"
#include "monitor/connection_log.h"
#include "monitor/lamp_win.h"
#include "monitor/log_file_win.h"
#include "monitor/packet_win.h"
#include "res/resource.h"
#include "support/lamp_window.h"
#include "support/notify_recorder.h"
#include "support/log_time.h"
#include "support/message_boxes.h"
#include "support/test_files.h"
#include "tests/fakes/pcap_file.h"

TEST(GoldenLog, ReplayWritesTheExpectedLog)
{
    // Back into June to October of each frame's year: summer time in both the
    // European and the United States rules.
    const long long INTO_SUMMER = -130LL * 24 * 3600;
    for (long long shift : { 0LL, INTO_SUMMER }) {
        SCOPED_TRACE(shift);
        HWND window = StartRunWindow("192.168.1.10");
        ASSERT_NE(nullptr, window);
        app.logging = 1;
        std::string folder = MakeTempFolder("golden");
        std::string logPath = folder + "NetGlow.txt";
        lstrcpynA(app.logPath, logPath.c_str(), sizeof app.logPath);

        std::string pcapPath = FixturePath("golden.pcap");
        PcapFile capture;
        ASSERT_TRUE(capture.Open(pcapPath.c_str())) << pcapPath;
        ASSERT_EQ(1u, capture.linkType()); // Ethernet
        // Each frame a read of its own, so that the lamp shows every frame's
        // colour (TimeoutP 0: colour changes are not held off).
        app.TimeoutP = 0;
        LampStart();
        static char storage[4096];
        static LogFile logFile;
        InitLogFile(&logFile, app.logPath);
        LogBatch log(storage, sizeof storage, AppendLogFile, &logFile);
        PacketBatch batch = { &log, &readsStopping, &readsLogHeld, 0, 0, 0, 0, readsOwnIpv4, {}, nullptr, {} };
        batch.own.ipv6 = readsOwnIpv6;
        PcapRecord record;
        int frames = 0;
        std::string icons; // R or Y per frame
        while (capture.Next(&record)) {
            struct pcap_pkthdr header;
            std::memset(&header, 0, sizeof header);
            header.ts.tv_sec = static_cast<long>(record.seconds + shift);
            header.ts.tv_usec = static_cast<long>(record.microseconds);
            header.caplen = static_cast<bpf_u_int32>(record.bytes.size());
            header.len = record.originalLength;
            // Each frame in a block of exactly its captured size.
            unsigned char* bytes = new unsigned char[record.bytes.empty() ? 1 : record.bytes.size()];
            if (!record.bytes.empty())
                std::memcpy(bytes, record.bytes.data(), record.bytes.size());
            OnPacket(reinterpret_cast<u_char*>(&batch), &header, bytes);
            EndPacketBatch(&batch, window);
            PumpMessagesFor(0);
            delete[] bytes;
            ++frames;
            icons += LampShown(app.trayData.hIcon) == ICON_RED ? 'R'
                     : LampShown(app.trayData.hIcon) == ICON_YELLOW ? 'Y' : '?';
        }
        EXPECT_EQ(38, frames);

        std::string expected = ReadFileBytes(FixturePath("golden.log"));
        ASSERT_NE("<missing>", expected);
        expected = InLocalTime(expected, shift);
        std::string written = ReadFileBytes(logPath);
        EXPECT_EQ(expected, written);

        // The lamp of each frame: red (ColorSend 1) for SEND, yellow (ColorRecv 2) for RECV.
        std::string directions;
        for (const std::string& line : Lines(expected)) {
            size_t tab = line.find('\t');
            if (tab != std::string::npos)
                directions += line.compare(tab + 1, 4, "SEND") == 0 ? 'R' : 'Y';
        }
        EXPECT_EQ(directions, icons);

        LampStop(window);
        DestroyLampWindow(window);
        DeleteFileA(logPath.c_str());
        RemoveDirectoryA(folder.c_str());
    }
}
