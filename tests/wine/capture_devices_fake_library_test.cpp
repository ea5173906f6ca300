// The fake wpcap.dll that the capture tests rely on: replay, break, failures
// and the calls log.
#include <gtest/gtest.h>
#include <cstdio>
#include <string>
#include <vector>
#include "adapters/capture_library_win.h"
#include "support/adapter_doubles.h"

namespace {

// A classic pcap file (microseconds) with frames of the given lengths.
std::string WriteCapture(const std::vector<unsigned>& lengths)
{
    std::string path = MakeTempFolder("fake-library") + "frames.pcap";
    std::FILE* file = std::fopen(path.c_str(), "wb");
    const unsigned header[6] = { 0xa1b2c3d4u, 0x00040002u, 0, 0, 65535, 1 };
    std::fwrite(header, 4, 6, file);
    for (unsigned i = 0; i < lengths.size(); ++i) {
        const unsigned record[4] = { 1000 + i, 500 * i, lengths[i], lengths[i] };
        std::fwrite(record, 4, 4, file);
        std::vector<unsigned char> bytes(lengths[i], static_cast<unsigned char>(i));
        std::fwrite(bytes.data(), 1, bytes.size(), file);
    }
    std::fclose(file);
    return path;
}

struct Seen {
    std::vector<std::string> frames;
    HANDLE third = CreateEventA(nullptr, TRUE, FALSE, nullptr);
};
void OnFrame(u_char* user, const pcap_pkthdr* header, const u_char* bytes)
{
    Seen* seen = reinterpret_cast<Seen*>(user);
    seen->frames.push_back(std::to_string(header->ts.tv_sec) + "." + std::to_string(header->ts.tv_usec) + " "
                           + std::to_string(header->caplen) + "/" + std::to_string(header->len) + " "
                           + std::to_string(bytes[0]));
    if (seen->frames.size() == 3)
        SetEvent(seen->third);
}

struct LoopCall {
    const CaptureLibrary* library;
    pcap_t* capture;
    Seen* seen;
    int result;
};
DWORD WINAPI Loop(LPVOID param)
{
    LoopCall* call = static_cast<LoopCall*>(param);
    call->result = call->library->loop(call->capture, -1, OnFrame, reinterpret_cast<u_char*>(call->seen));
    return 0;
}

TEST(FakeCaptureLibrary, ReplaysThenWaitsForTheBreak)
{
    const CaptureLibrary* library = GetCaptureLibrary();
    ASSERT_NE(nullptr, library);
    SetFakeCaptureDevices({ "device=\\Device\\NPF_{X}", "replay=" + WriteCapture({ 60, 100, 14 }) });
    char errorText[PCAP_ERRBUF_SIZE] = "";
    pcap_t* capture = library->open_live("\\Device\\NPF_{X}", 64, 1, 1000, errorText);
    ASSERT_NE(nullptr, capture);
    Seen seen;
    LoopCall call = { library, capture, &seen, 0 };
    HANDLE thread = CreateThread(nullptr, 0, Loop, &call, 0, nullptr);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(seen.third, 10000));
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(thread, 200)); // a quiet adapter now
    library->breakloop(capture);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, 5000));
    EXPECT_EQ(PCAP_ERROR_BREAK, call.result);
    EXPECT_EQ((std::vector<std::string>{ "1000.0 60/60 0", "1001.500 64/100 1", "1002.1000 14/14 2" }), seen.frames);
    library->close(capture);
    EXPECT_EQ((std::vector<std::string>{ "pcap_open_live \\Device\\NPF_{X} 64 1 1000", "pcap_loop -1",
                                         "pcap_breakloop", "pcap_close" }),
              ReadCalls());
    CloseHandle(thread);
}

TEST(FakeCaptureLibrary, Failures)
{
    const CaptureLibrary* library = GetCaptureLibrary();
    ASSERT_NE(nullptr, library);
    char errorText[PCAP_ERRBUF_SIZE] = "";
    bpf_u_int32 net = 0, mask = 0;

    SetFakeCaptureDevices({ "open_fail=1" });
    EXPECT_EQ(nullptr, library->open_live("dev", 64, 1, 1000, errorText));
    SetFakeCaptureDevices({ "lookupnet_fail=1" });
    EXPECT_EQ(-1, library->lookupnet("dev", &net, &mask, errorText));
    SetFakeCaptureDevices({});
    EXPECT_EQ(0, library->lookupnet("dev", &net, &mask, errorText));

    SetFakeCaptureDevices({ "replay=" + WriteCapture({ 20, 20, 20, 20 }), "loop_fail_after=2" });
    pcap_t* capture = library->open_live("dev", 64, 1, 1000, errorText);
    ASSERT_NE(nullptr, capture);
    Seen seen;
    EXPECT_EQ(-1, library->loop(capture, -1, OnFrame, reinterpret_cast<u_char*>(&seen)));
    EXPECT_EQ(2u, seen.frames.size());
    library->close(capture);
}

} // namespace
