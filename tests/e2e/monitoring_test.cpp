// NetGlow.exe monitoring and logging, driven through its main window.
#include "e2e_common.h"

TEST_F(E2E, StartsMonitoringAtStartLogsEveryFrameAndQuitsCleanly)
{
    StartWith(StandardKeys("Ethernet", "0", "1"));
    EXPECT_TRUE(WaitForCalls(std::string("pcap_activate ") + ETHERNET_DEVICE + " 64 1 1000 immediate", 1));
    // Each read takes up to a driver buffer's worth of frames.
    EXPECT_TRUE(WaitForCalls("pcap_dispatch 1000\r", 1));
    EXPECT_TRUE(WaitForLamp(ICON_IDLE));

    // The capture starts with the program, before logging can be switched on;
    // replay the traffic on a second run that starts with logging on.
    ASSERT_TRUE(ng.Command(CMD_MONITOR_STOP));
    EXPECT_TRUE(WaitForLamp(ICON_STOPPED));
    SetControl("replay=" + SourcePath("tests\\fixtures\\e2e\\traffic.pcap") + "\r\n");
    ASSERT_TRUE(ng.Command(CMD_LOG_START));
    size_t lamps = ng.Lamps().size();
    ASSERT_TRUE(ng.Command(CMD_MONITOR_START));
    const std::string expected = TrafficLog();
    ASSERT_TRUE(WaitForLogLines(ng.logPath, CountLines(expected)));
    EXPECT_EQ(expected, ReadFileBytes(ng.logPath));
    // The frames light the lamp, which goes out after the last one.
    EXPECT_TRUE(ng.WaitForLampAfter(&lamps, { ICON_RED, ICON_YELLOW }));
    EXPECT_TRUE(ng.WaitForLampAfter(&lamps, { ICON_IDLE }));

    ASSERT_TRUE(ng.Command(CMD_MONITOR_STOP));
    EXPECT_TRUE(WaitForLamp(ICON_STOPPED));
    Quit();
    EXPECT_EQ(SettingsFile(StandardKeys("Ethernet", "0", "1")), ReadFileBytes(ng.settingsPath));
    EXPECT_TRUE(WaitForLamp(0)); // the icon is gone
}

TEST_F(E2E, SavedAdapterMissingAtStartKeepsItsNameInTheFile)
{
    StartWith(StandardKeys("Gone Adapter", "3", "1"));
    // The stopped image of the add, set before the capture library (which
    // records the later calls) was loaded: the screen tells; no other image
    // followed.
    EXPECT_TRUE(WaitForLampOnScreen(ICON_STOPPED));
    for (const NetGlowProcess::LampSet& set : ng.Lamps())
        EXPECT_EQ(ICON_STOPPED, set.lamp);
    EXPECT_TRUE(ng.Answers());
    Quit();
    EXPECT_EQ(0, Calls("pcap_create"));
    EXPECT_EQ(SettingsFile(StandardKeys("Gone Adapter", "3", "1")), ReadFileBytes(ng.settingsPath));
}

struct CaptureFailure {
    const char* control;
    const char* message;
};

class CaptureFailures : public E2E, public ::testing::WithParamInterface<CaptureFailure> {};

TEST_P(CaptureFailures, AreShownOnTheCaptureThreadAndStopMonitoring)
{
    std::string control = GetParam().control;
    size_t at = control.find("TRAFFIC");
    if (at != std::string::npos)
        control.replace(at, 7, SourcePath("tests\\fixtures\\e2e\\traffic.pcap"));
    SetControl(control);
    StartWith(StandardKeys("Ethernet", "0", "1"));

    SeenMessageBox box;
    ASSERT_TRUE(WaitForMessageBoxOf(ng.processId, &box));
    EXPECT_EQ(GetParam().message, box.text);
    EXPECT_EQ(static_cast<UINT>(MB_ICONERROR), box.iconStyle);
    EXPECT_NE(GetWindowThreadProcessId(ng.window, nullptr), box.threadId);
    EXPECT_TRUE(ng.Answers()); // the GUI thread keeps working meanwhile
    ASSERT_TRUE(AnswerMessageBox(box, IDOK));
    EXPECT_TRUE(WaitForLamp(ICON_STOPPED));

    // Monitoring can be started again once the device behaves.
    SetControl("");
    ASSERT_TRUE(ng.Command(CMD_MONITOR_START));
    EXPECT_TRUE(WaitForLamp(ICON_IDLE));
    // The new run reads: it has opened and checked its device, where its
    // failures would have been shown.
    EXPECT_TRUE(WaitForCallAfter("pcap_create", 2, "pcap_dispatch"));
    EXPECT_EQ(0, CountMessageBoxesOf(ng.processId));
    Quit();
}

INSTANTIATE_TEST_SUITE_P(E2E, CaptureFailures, ::testing::Values(
    CaptureFailure{ "open_fail=1\r\n", "A PCAP device cannot be opened." },
    CaptureFailure{ "lookupnet_fail=1\r\n", "Interface information is unacquirable." },
    CaptureFailure{ "loop_fail_after=2\r\nreplay=TRAFFIC\r\n",
                    "The error occurred with the pcap_loop function." }));

// A stop that meets the capture thread's failure box, open or on its way
// (the fake library holds the box back until the stop breaks the read),
// ends the run at once: the stop does not wait out its bound, the box is
// closed with the run, and with the thread ended none can appear after.
struct StopDuringFailure {
    const char* extra;
    const char* awaited; // a call of the fake library; null: the box itself
};

class StopsDuringACaptureFailure : public E2E, public ::testing::WithParamInterface<StopDuringFailure> {};

TEST_P(StopsDuringACaptureFailure, EndTheRunAndLeaveNoBox)
{
    SetControl("loop_fail_after=2\r\nreplay=" + SourcePath("tests\\fixtures\\e2e\\traffic.pcap") + "\r\n"
               + GetParam().extra);
    StartWith(StandardKeys("Ethernet", "0", "1"));
    if (GetParam().awaited == nullptr) {
        SeenMessageBox box;
        ASSERT_TRUE(WaitForMessageBoxOf(ng.processId, &box));
        EXPECT_EQ("The error occurred with the pcap_loop function.", box.text);
    } else {
        ASSERT_TRUE(WaitForCalls(GetParam().awaited, 1));
    }
    // Well within the stop's own bound of 5 s for a thread that does not end.
    ASSERT_TRUE(ng.Command(CMD_MONITOR_STOP, 4000));
    // The device that failed and the one opened again: both closed.
    EXPECT_EQ(2, Calls("pcap_close")) << "the capture thread did not end with the stop";
    EXPECT_EQ(0, CountMessageBoxesOf(ng.processId));
    EXPECT_TRUE(IsWindowEnabled(ng.window)) << "the box's owner was left disabled";
    EXPECT_TRUE(WaitForLamp(ICON_STOPPED));
    Quit();
}

INSTANTIATE_TEST_SUITE_P(E2E, StopsDuringACaptureFailure, ::testing::Values(
    StopDuringFailure{ "", nullptr },
    StopDuringFailure{ "box_waits_for_break=1\r\n", "message_box The error occurred with the pcap_loop function." }));

TEST_F(E2E, StopWhileWaitingForTrafficEndsTheRunQuietly)
{
    StartWith(StandardKeys("Ethernet", "0", "1"));
    ASSERT_TRUE(WaitForLamp(ICON_IDLE));
    ASSERT_TRUE(ng.Command(CMD_LOG_START));
    ASSERT_TRUE(ng.Command(CMD_MONITOR_STOP, 5000));
    // The capture thread ended on its own: it closed its handle.
    EXPECT_EQ(1, Calls("pcap_breakloop"));
    EXPECT_EQ(1, Calls("pcap_close"));
    EXPECT_TRUE(WaitForLamp(ICON_STOPPED));
    // The run's thread has ended: it shows nothing any more.
    EXPECT_TRUE(WaitForCalls("capture_thread_end", 1));
    EXPECT_EQ(0, CountMessageBoxesOf(ng.processId));

    // Logging was cleared by the stop: a new run logs nothing until asked.
    SetControl("replay=" + SourcePath("tests\\fixtures\\e2e\\traffic.pcap") + "\r\n");
    ASSERT_TRUE(ng.Command(CMD_MONITOR_START));
    ASSERT_TRUE(WaitForCalls("pcap_dispatch", 2));
    ASSERT_TRUE(WaitForLamp(ICON_IDLE));
    EXPECT_FALSE(PathExists(ng.logPath));
    Quit();
}

TEST_F(E2E, ManyStartStopCyclesLeakNoHandles)
{
    SetControl("replay=" + SourcePath("tests\\fixtures\\e2e\\traffic.pcap")
               + "\r\nreplay_repeat=1000000\r\nreplay_gap_us=2000\r\n");
    StartWith(StandardKeys("Ethernet", "0", "0"));
    const int cycles = 200;
    DWORD before = 0;
    for (int i = 0; i < cycles; ++i) {
        ASSERT_TRUE(ng.Command(CMD_MONITOR_START)) << "cycle " << i;
        ASSERT_TRUE(ng.Command(CMD_LOG_START));
        // Each run really opened its device before it is stopped.
        ASSERT_TRUE(WaitForCalls("pcap_activate", i + 1)) << "cycle " << i;
        DWORD start = GetTickCount();
        ASSERT_TRUE(ng.Command(CMD_MONITOR_STOP, 5000)) << "cycle " << i;
        EXPECT_LT(GetTickCount() - start, 5000u) << "cycle " << i;
        if (i == 9)
            before = ng.HandleCount();
    }
    DWORD after = ng.HandleCount();
    EXPECT_EQ(cycles, Calls("pcap_activate"));
    EXPECT_EQ(cycles, Calls("pcap_close"));
    EXPECT_TRUE(ng.Answers());
    ASSERT_GT(before, 0u) << "the handle count cannot be read";
    EXPECT_LE(after, before + 2) << "handles before " << before << ", after " << after;
    Quit();
}

TEST_F(E2E, RunStuckInTheLibraryKeepsANewRunFromStartingUntilItEnds)
{
    SetControl("ignore_break=1\r\n");
    StartWith(StandardKeys("Ethernet", "0", "1"));
    ASSERT_TRUE(WaitForCalls("pcap_dispatch", 1));
    ASSERT_TRUE(ng.Command(CMD_MONITOR_STOP, 15000)); // gives up after a bounded wait
    EXPECT_TRUE(WaitForLamp(ICON_STOPPED));
    EXPECT_EQ(0, Calls("pcap_close"));

    // Posted: the answer is a message box on the GUI thread.
    PostMessageA(ng.window, WM_COMMAND, CMD_MONITOR_START, 0);
    ASSERT_TRUE(AnswerBox(ng.processId, "The capture library did not stop the previous monitor. Monitoring stays off.",
                          IDOK, MB_ICONERROR, 20000));
    EXPECT_EQ(1, Calls("pcap_create"));
    EXPECT_TRUE(WaitForLamp(ICON_STOPPED));

    // The library lets go: the old run ends by itself, quietly, and a new
    // one starts.
    SetControl("");
    ASSERT_TRUE(WaitForCalls("capture_thread_end", 1));
    EXPECT_EQ(1, Calls("pcap_close"));
    EXPECT_EQ(0, CountMessageBoxesOf(ng.processId));
    ASSERT_TRUE(ng.Command(CMD_MONITOR_START));
    EXPECT_TRUE(WaitForCalls("pcap_activate", 2));
    EXPECT_TRUE(WaitForLamp(ICON_IDLE));
    Quit();
}

TEST_F(E2E, StopRequestOfAnEndedRunAndStartWhileMonitoringChangeNothing)
{
    StartWith(StandardKeys("Ethernet", "0", "1"));
    ASSERT_TRUE(WaitForCalls("pcap_dispatch", 1));
    ASSERT_TRUE(WaitForLamp(ICON_IDLE));
    int scans = Calls("pcap_findalldevs");
    // A failed run's stop request names its run; this one names none alive.
    SendMessageA(ng.window, WM_COMMAND, CMD_MONITOR_STOP, 12345);
    // The adapter table is not rebuilt under the running capture.
    ASSERT_TRUE(ng.Command(CMD_MONITOR_START));
    EXPECT_EQ(0, Calls("pcap_breakloop"));
    EXPECT_EQ(scans, Calls("pcap_findalldevs"));
    EXPECT_EQ(1, Calls("pcap_create"));
    EXPECT_TRUE(WaitForLamp(ICON_IDLE));
    Quit();
}
