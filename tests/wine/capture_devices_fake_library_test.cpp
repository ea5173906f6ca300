// The fake wpcap.dll that the capture tests rely on: replay, break, failures
// and the calls log.
#include <gtest/gtest.h>
#include <cstdio>
#include <string>
#include <vector>
#include "adapters/capture_library_win.h"
#include "support/adapter_doubles.h"

namespace {

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

struct ReadCall {
    const CaptureLibrary* library;
    pcap_t* capture;
    Seen* seen;
    std::vector<int> results; // of every read until a break or a failure
};
DWORD WINAPI ReadUntilBreak(LPVOID param)
{
    ReadCall* call = static_cast<ReadCall*>(param);
    int result;
    do {
        result = call->library->dispatch(call->capture, 1000, OnFrame, reinterpret_cast<u_char*>(call->seen));
        call->results.push_back(result);
    } while (result >= 0);
    return 0;
}

pcap_t* Open(const CaptureLibrary& library, const char* device)
{
    return OpenLiveCapture(library, device, 64, 1, 1000);
}

TEST(FakeCaptureLibrary, ReadsHandOverWhatArrivedThenWaitForTheBreak)
{
    const CaptureLibrary* library = GetCaptureLibrary();
    ASSERT_NE(nullptr, library);
    SetFakeCaptureDevices({ "device=\\Device\\NPF_{X}", "replay=" + WriteCapture({ 60, 100, 14 }), "dispatch_batch=2" });
    pcap_t* capture = Open(*library, "\\Device\\NPF_{X}");
    ASSERT_NE(nullptr, capture);
    Seen seen;
    ReadCall call = { library, capture, &seen, {} };
    HANDLE thread = CreateThread(nullptr, 0, ReadUntilBreak, &call, 0, nullptr);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(seen.third, 10000));
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(thread, 200)); // a quiet adapter now
    library->breakloop(capture);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, 5000));
    // Two reads of at most a batch each; then read time-outs (the first
    // notes the replay's end) and the break.
    ASSERT_GE(call.results.size(), 3u);
    EXPECT_EQ(2, call.results[0]);
    EXPECT_EQ(1, call.results[1]);
    EXPECT_EQ(PCAP_ERROR_BREAK, call.results.back());
    EXPECT_EQ((std::vector<std::string>{ "1000.0 60/60 0", "1001.500 64/100 1", "1002.1000 14/14 2" }), seen.frames);
    library->close(capture);
    EXPECT_EQ((std::vector<std::string>{ "pcap_create \\Device\\NPF_{X}", "pcap_activate \\Device\\NPF_{X} 64 1 1000 immediate",
                                         "pcap_dispatch 1000", "replay_end", "pcap_breakloop", "pcap_close" }),
              ReadCalls());
    CloseHandle(thread);
}

TEST(FakeCaptureLibrary, ImmediateDeliveryByWhatTheLibraryHas)
{
    const CaptureLibrary* library = GetCaptureLibrary();
    ASSERT_NE(nullptr, library);
    // WinPcap: no immediate mode, but a minimum to copy. Older still: neither.
    CaptureLibrary winpcap = *library;
    winpcap.create = nullptr;
    CaptureLibrary plain = winpcap;
    plain.setmintocopy = nullptr;
    SetFakeCaptureDevices({});
    for (const CaptureLibrary* which : { &winpcap, &plain }) {
        pcap_t* capture = Open(*which, "dev");
        ASSERT_NE(nullptr, capture);
        which->close(capture);
    }
    EXPECT_EQ((std::vector<std::string>{ "pcap_open_live dev 64 1 1000", "pcap_setmintocopy 0", "pcap_close",
                                         "pcap_open_live dev 64 1 1000", "pcap_close" }),
              ReadCalls());
}

TEST(FakeCaptureLibrary, Failures)
{
    const CaptureLibrary* library = GetCaptureLibrary();
    ASSERT_NE(nullptr, library);
    char errorText[PCAP_ERRBUF_SIZE] = "";
    bpf_u_int32 net = 0, mask = 0;

    SetFakeCaptureDevices({ "open_fail=1" });
    EXPECT_EQ(nullptr, Open(*library, "dev"));
    SetFakeCaptureDevices({ "lookupnet_fail=1" });
    EXPECT_EQ(-1, library->lookupnet("dev", &net, &mask, errorText));
    SetFakeCaptureDevices({});
    EXPECT_EQ(0, library->lookupnet("dev", &net, &mask, errorText));

    SetFakeCaptureDevices({ "replay=" + WriteCapture({ 20, 20, 20, 20 }), "loop_fail_after=2" });
    pcap_t* capture = Open(*library, "dev");
    ASSERT_NE(nullptr, capture);
    Seen seen;
    EXPECT_EQ(2, library->dispatch(capture, 1000, OnFrame, reinterpret_cast<u_char*>(&seen)));
    EXPECT_EQ(-1, library->dispatch(capture, 1000, OnFrame, reinterpret_cast<u_char*>(&seen)));
    EXPECT_EQ(2u, seen.frames.size());
    library->close(capture);
}

} // namespace
