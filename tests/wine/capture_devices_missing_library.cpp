// Without any wpcap.dll the listing fails with the library's absence as its
// reason. Run in its own prefix with the capture library disabled.
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "adapters/adapter_build_win.h"
#include "adapters/capture_library_win.h"
#include "core/app_state.h"
#include "support/adapter_doubles.h"

namespace {

void Enumerate(void* result) { *static_cast<int*>(result) = EnumerateCaptureDevices(); }

TEST(CaptureDevicesWithoutLibrary, ReasonStopCommandThenNoDevice)
{
    ResetAppState();
    ASSERT_EQ(nullptr, GetCaptureLibrary()) << "a wpcap.dll was loaded; run with WINEDLLOVERRIDES=wpcap=";
    app.mainWindow = CreateRecordingWindow();
    app.adapters.count = 3;
    int result = 0;
    EXPECT_EQ((std::vector<std::string>{
                  "error: The error occurred with the pcap_findalldevs function."
                  "wpcap.dll could not be loaded: install Npcap from https://npcap.com (its WinPcap "
                  "API-compatible mode is not needed; NetGlow looks in Npcap's own folder first).",
                  "command 1016",
                  "error: The network card which can be processed by WinPcap was not found.\n"
                  " (administrator authority or XP compatibility mode may be necessity at NetGlow.)" }),
              Describe(RunRecording(Enumerate, &result)));
    EXPECT_EQ(-1, result);
    EXPECT_EQ(0, app.adapters.count);
    DestroyWindow(app.mainWindow);
}

} // namespace
