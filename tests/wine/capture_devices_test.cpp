// Capture device listing against the fake capture library, with the real
// message boxes read as the user sees them.
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "adapters/adapter_build_win.h"
#include "core/app_state.h"
#include "support/adapter_doubles.h"

namespace {

using Lines = std::vector<std::string>;

const std::string NO_DEVICE =
    "error: The network card which can be processed by WinPcap was not found.\n"
    " (administrator authority or XP compatibility mode may be necessity at NetGlow.)";

struct Outcome {
    int result = 0;
};
void Enumerate(void* run) { static_cast<Outcome*>(run)->result = EnumerateCaptureDevices(); }

class CaptureDevices : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetAppState();
        app.mainWindow = CreateRecordingWindow();
        ASSERT_NE(nullptr, app.mainWindow);
        // Leftovers of an earlier build must not survive in the entries taken.
        for (int i = 0; i < ADAPTER_MAX; ++i) {
            lstrcpynA(app.adapters.connectionName[i], "old name", ADAPTER_TEXT_SIZE);
            lstrcpynA(app.adapters.ipv4Address[i], "9.9.9.9", ADAPTER_TEXT_SIZE);
        }
        app.adapters.count = 42;
    }
    void TearDown() override { DestroyWindow(app.mainWindow); }

    Lines Enumerated(Outcome* run) { return Describe(RunRecording(Enumerate, run)); }
    Lines DeviceNames()
    {
        Lines names;
        for (int i = 0; i < app.adapters.count; ++i) {
            names.push_back(app.adapters.deviceName[i]);
            EXPECT_STREQ("", app.adapters.connectionName[i]) << i;
            EXPECT_STREQ("", app.adapters.ipv4Address[i]) << i;
        }
        return names;
    }
};

TEST_F(CaptureDevices, TakesEveryDeviceInTheLibrarysOrder)
{
    SetFakeCaptureDevices({ "device=\\Device\\NPF_{C0000000-0000-0000-0000-000000000003}",
                            "device=\\Device\\NPF_{A0000000-0000-0000-0000-000000000001}",
                            "device=\\Device\\NPF_{B0000000-0000-0000-0000-000000000002}" });
    Outcome run;
    EXPECT_EQ(Lines{}, Enumerated(&run));
    EXPECT_EQ(0, run.result);
    EXPECT_EQ((Lines{ "\\Device\\NPF_{C0000000-0000-0000-0000-000000000003}",
                      "\\Device\\NPF_{A0000000-0000-0000-0000-000000000001}",
                      "\\Device\\NPF_{B0000000-0000-0000-0000-000000000002}" }),
              DeviceNames());
    EXPECT_EQ((Lines{ "pcap_findalldevs", "pcap_freealldevs" }), ReadCalls());
}

TEST_F(CaptureDevices, NameLengthLimit)
{
    SetFakeCaptureDevices({ "device=\\Device\\NPF_{first}", "device_generated=1,499" });
    Outcome run;
    EXPECT_EQ(Lines{}, Enumerated(&run));
    EXPECT_EQ(0, run.result);
    ASSERT_EQ(2, app.adapters.count);
    EXPECT_EQ(499u, std::string(app.adapters.deviceName[1]).size());

    SetFakeCaptureDevices({ "device=\\Device\\NPF_{first}", "device_generated=1,500", "device=\\Device\\NPF_{last}" });
    EXPECT_EQ(Lines{ "question: GUID is too long." }, Enumerated(&run));
    EXPECT_EQ(-9, run.result);
    EXPECT_EQ(Lines{ "\\Device\\NPF_{first}" }, DeviceNames());
    EXPECT_EQ((Lines{ "pcap_findalldevs", "pcap_freealldevs" }), ReadCalls());
}

TEST_F(CaptureDevices, EmptyList)
{
    SetFakeCaptureDevices({});
    Outcome run;
    EXPECT_EQ(Lines{ NO_DEVICE }, Enumerated(&run));
    EXPECT_EQ(-1, run.result);
    EXPECT_EQ(0, app.adapters.count);
}

TEST_F(CaptureDevices, ListingFailureShowsReasonStopsMonitoringThenNoDevice)
{
    SetFakeCaptureDevices({ "device=\\Device\\NPF_{never listed}",
                            "findalldevs_error=PacketGetAdapterNames: The device is not ready. (21)" });
    Outcome run;
    EXPECT_EQ((Lines{ "error: The error occurred with the pcap_findalldevs function."
                      "PacketGetAdapterNames: The device is not ready. (21)",
                      "command 1016", NO_DEVICE }),
              Enumerated(&run));
    EXPECT_EQ(-1, run.result);
    EXPECT_EQ(0, app.adapters.count);
    EXPECT_EQ(Lines{ "pcap_findalldevs" }, ReadCalls());
}

TEST_F(CaptureDevices, AtMost100Devices)
{
    SetFakeCaptureDevices({ "device_generated=100,50" });
    Outcome run;
    EXPECT_EQ(Lines{}, Enumerated(&run));
    EXPECT_EQ(0, run.result);
    EXPECT_EQ(100, app.adapters.count);

    SetFakeCaptureDevices({ "device_generated=101,50" });
    EXPECT_EQ(Lines{ "question: There are too many network cards." }, Enumerated(&run));
    EXPECT_EQ(-9, run.result);
    Lines names = DeviceNames();
    ASSERT_EQ(100u, names.size());
    EXPECT_EQ("\\Device\\NPF_{0000000000000000000000000000000000099", names[99]);
    EXPECT_EQ((Lines{ "pcap_findalldevs", "pcap_freealldevs" }), ReadCalls());
}

} // namespace
