// Shared set-up of the end-to-end scenarios: two capture devices whose GUIDs
// the registry ties to "Ethernet" (192.168.1.10) and "Lab Network" (10.0.0.5).
#pragma once
#include <gtest/gtest.h>
#include "res/resource.h"
#include "support/netglow_process.h"
#include "tests/wine/support/log_time.h"

inline const char* const ETHERNET_DEVICE = "\\Device\\NPF_{6E0B1A52-1C3D-4C8B-9A11-0F2E3D4C5B6A}";
inline const char* const LAB_DEVICE = "\\Device\\NPF_{9F8E7D6C-5B4A-4392-8170-A1B2C3D4E5F6}";

// The log of tests/fixtures/e2e/traffic.pcap in the zone the test runs in.
inline std::string TrafficLog()
{
    return InLocalTime(ReadFileBytes(SourcePath("tests\\fixtures\\e2e\\traffic_expected.log")));
}

using Keys = std::vector<std::pair<std::string, std::string>>;

// cardAuto: "1" for the connection in use, "0" for the chosen adapter; empty
// leaves the key out, as in every file written before it existed.
inline Keys StandardKeys(const std::string& cardName, const std::string& cardIndex,
                         const std::string& startOpt, const std::string& cardAuto = "")
{
    Keys keys = {
        { "WaitTime", "100" }, { "WaitCount", "50" }, { "WaitFlag", "1" },
        { "CardName", cardName }, { "CardIndex", cardIndex }, { "InitOpt", "-1" },
        { "StartOpt", startOpt }, { "NowOpt", "0" }, { "ColorSend", "1" },
        { "ColorRecv", "2" }, { "TimeoutP", "20" },
    };
    if (!cardAuto.empty())
        keys.push_back({ "CardAuto", cardAuto });
    return keys;
}

// For AnswerBox: the box's icon is not checked.
const UINT ANY_ICON = ~0u;

// Waits for a box of the process, checks its text (and its icon, unless
// ANY_ICON) and presses the button; false when none came or it stayed.
inline bool AnswerBox(DWORD processId, const std::string& text, int button, UINT icon = ANY_ICON,
                      DWORD timeoutMs = 15000)
{
    SeenMessageBox box;
    if (!WaitForMessageBoxOf(processId, &box, timeoutMs))
        return false;
    EXPECT_EQ(text, box.text);
    if (icon != ANY_ICON) {
        EXPECT_EQ(icon, box.iconStyle);
    }
    return AnswerMessageBox(box, button);
}

class E2E : public ::testing::Test {
protected:
    void SetUp() override
    {
        SeedRegistry({ { "{6E0B1A52-1C3D-4C8B-9A11-0F2E3D4C5B6A}", "Ethernet" },
                       { "{9F8E7D6C-5B4A-4392-8170-A1B2C3D4E5F6}", "Lab Network" } });
        ng.ipconfigReport = SourcePath("tests\\fixtures\\e2e\\ipconfig_win10.txt");
        SetControl("");
    }
    void SetControl(const std::string& extra)
    {
        WriteWholeFile(ng.wpcapControl, std::string("device=") + ETHERNET_DEVICE + "\r\ndevice=" + LAB_DEVICE
                                            + "\r\ncalls=" + ng.wpcapCalls + "\r\nlog_lamps=1\r\n" + extra);
    }
    void StartWith(const Keys& keys)
    {
        ASSERT_TRUE(WriteWholeFile(ng.settingsPath, SettingsFile(keys)));
        ASSERT_TRUE(ng.Start());
        ASSERT_NE(nullptr, ng.WaitForMainWindow());
    }
    void Quit()
    {
        ng.Command(CMD_QUIT);
        EXPECT_EQ(0, ng.WaitForExit());
    }
    int Calls(const std::string& prefix) { return CountCalls(ng.wpcapCalls, prefix); }
    bool WaitForLamp(int icon, DWORD timeoutMs = 10000) { return ng.WaitForLamp(icon, timeoutMs); }
    // A call beginning with `prefix` after the nth call beginning with `mark`, bounded.
    bool WaitForCallAfter(const std::string& mark, int nth, const std::string& prefix, DWORD timeoutMs = 10000)
    {
        return WaitFor([&] {
            int marks = 0;
            for (const std::string& line : Lines(ReadFileBytes(ng.wpcapCalls)))
                if ((marks += line.compare(0, mark.size(), mark) == 0) >= nth
                    && line.compare(0, prefix.size(), prefix) == 0)
                    return true;
            return false;
        }, timeoutMs);
    }
    // The capture thread reaches the library a moment after a command returns.
    bool WaitForCalls(const std::string& prefix, int count, DWORD timeoutMs = 10000)
    {
        return WaitFor([&] { return Calls(prefix) >= count; }, timeoutMs);
    }

    NetGlowProcess ng;
};
