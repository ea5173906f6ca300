// The settings store under Wine: the settings file byte for byte after each scenario,
// written through Wine's own profile functions (which end lines with CRLF).
#include <gtest/gtest.h>
#include <cstdio>
#include <string>
#include "core/app_state.h"
#include "core/settings_win.h"
#include "support/lamp_window.h"

namespace {

const std::string kWaitKeys = "[Option]\r\nWaitTime=100\r\nWaitCount=50\r\nWaitFlag=1\r\n";

class Settings : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetAppState();
        folder = MakeTempFolder("settings");
    }
    void TearDown() override
    {
        WIN32_FIND_DATAA found;
        HANDLE search = FindFirstFileA((folder + "*").c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            do
                DeleteFileA((folder + found.cFileName).c_str());
            while (FindNextFileA(search, &found));
            FindClose(search);
        }
        RemoveDirectoryA(folder.c_str());
    }
    // A settings file of its own for every use: the profile functions keep
    // what they read, so no two scenarios share a path.
    std::string UseFile(const char* contents)
    {
        path = folder + "NetGlow" + std::to_string(++serial) + ".ini";
        if (contents != nullptr)
            WriteWholeFile(path, contents);
        lstrcpynA(app.settingsPath, path.c_str(), sizeof app.settingsPath);
        return path;
    }
    std::string Contents() const { return ReadFileBytes(path); }
    // The fields LoadSettings fills, in file order: CardName|CardIndex|InitOpt|
    // StartOpt|NowOpt|ColorSend|ColorRecv|TimeoutP.
    static std::string Loaded()
    {
        char text[CARD_NAME_SIZE + 100];
        snprintf(text, sizeof text, "%s|%d|%d|%d|%d|%d|%d|%d", app.CardName, app.selectedIndex.load(), app.InitOpt,
                 app.StartOpt, app.NowOpt, app.ColorSend.load(), app.ColorRecv.load(), app.TimeoutP.load());
        return text;
    }
    void ExpectDefaults() { EXPECT_EQ("|-1|-2|0|0|1|2|20", Loaded()); }
    // LoadSettings fills every field it owns, whatever they held before.
    void Scramble()
    {
        lstrcpynA(app.CardName, "stale", sizeof app.CardName);
        app.selectedIndex = 77;
        app.InitOpt = app.StartOpt = app.NowOpt = 77;
        app.ColorSend = app.ColorRecv = app.TimeoutP = 77;
    }
    std::string folder;
    std::string path;
    int serial = 0;
};

} // namespace

TEST_F(Settings, NoFileGivesDefaultsAndTheFirstUseWrite)
{
    UseFile(nullptr);
    app.WaitTime = app.WaitCount = 7;
    EXPECT_EQ(0, LoadTrayWaitSettings());
    EXPECT_EQ(100, app.WaitTime);
    EXPECT_EQ(50, app.WaitCount);
    EXPECT_EQ(kWaitKeys, Contents());

    Scramble();
    EXPECT_EQ(0, LoadSettings());
    ExpectDefaults();
    EXPECT_EQ(kWaitKeys, Contents()) << "LoadSettings wrote";

    EXPECT_EQ(0, SaveSettings());
    EXPECT_EQ(kWaitKeys
                  + "CardName=\r\nCardIndex=-1\r\nInitOpt=-2\r\nStartOpt=0\r\nNowOpt=0\r\n"
                    "ColorSend=1\r\nColorRecv=2\r\nTimeoutP=20\r\n",
              Contents());
}

TEST_F(Settings, LoadSettingsWithoutAFileWritesNothing)
{
    UseFile(nullptr);
    Scramble();
    EXPECT_EQ(0, LoadSettings());
    ExpectDefaults();
    EXPECT_FALSE(PathExists(path));
}

TEST_F(Settings, SavedValuesComeBack)
{
    UseFile(nullptr);
    LoadTrayWaitSettings();
    lstrcpynA(app.CardName, "Local Area Connection 2", sizeof app.CardName);
    app.selectedIndex = 3;
    app.InitOpt = -1;
    app.StartOpt = 1;
    app.NowOpt = 1;
    app.ColorSend = 2;
    app.ColorRecv = 1;
    app.TimeoutP = 250;
    SaveSettings();
    EXPECT_EQ(kWaitKeys
                  + "CardName=Local Area Connection 2\r\nCardIndex=3\r\nInitOpt=-1\r\nStartOpt=1\r\nNowOpt=1\r\n"
                    "ColorSend=2\r\nColorRecv=1\r\nTimeoutP=250\r\n",
              Contents());
    ResetAppState();
    lstrcpynA(app.settingsPath, path.c_str(), sizeof app.settingsPath);
    LoadSettings();
    EXPECT_EQ("Local Area Connection 2|3|-1|1|1|2|1|250", Loaded());
}

TEST_F(Settings, WaitTimeBelow100Becomes100)
{
    struct Row { const char* value; int32_t waitTime; };
    const Row rows[] = { { "50", 100 }, { "99", 100 }, { "100", 100 }, { "250", 250 }, { "abc", 100 },
                         { "-5", 100 }, { "", 100 }, { "99999999999", INT32_MAX } };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.value);
        std::string file = std::string("[Option]\r\nWaitTime=") + row.value + "\r\nWaitCount=50\r\nWaitFlag=1\r\n";
        UseFile(file.c_str());
        LoadTrayWaitSettings();
        EXPECT_EQ(row.waitTime, app.WaitTime);
        EXPECT_EQ(50, app.WaitCount);
        EXPECT_EQ(file, Contents()) << "written although WaitFlag is 1";
    }
}

TEST_F(Settings, NegativeWaitCountBecomes50)
{
    struct Row { const char* value; int32_t waitCount; };
    const Row rows[] = { { "-3", 50 }, { "-1", 50 }, { "0", 0 }, { "abc", 0 }, { "", 0 }, { "7", 7 } };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.value);
        std::string file = std::string("[Option]\r\nWaitTime=100\r\nWaitCount=") + row.value + "\r\nWaitFlag=1\r\n";
        UseFile(file.c_str());
        LoadTrayWaitSettings();
        EXPECT_EQ(100, app.WaitTime);
        EXPECT_EQ(row.waitCount, app.WaitCount);
        EXPECT_EQ(file, Contents());
    }
}

TEST_F(Settings, MissingWaitFlagRewritesTheLiteralsButThisRunUsesTheValuesRead)
{
    UseFile("[Option]\r\nWaitTime=500\r\nWaitCount=-3\r\n");
    LoadTrayWaitSettings();
    EXPECT_EQ(500, app.WaitTime);
    EXPECT_EQ(50, app.WaitCount);
    EXPECT_EQ(kWaitKeys, Contents());

    UseFile("[Option]\r\nWaitTime=500\r\nWaitCount=5\r\n");
    LoadTrayWaitSettings();
    EXPECT_EQ(500, app.WaitTime);
    EXPECT_EQ(5, app.WaitCount);
    EXPECT_EQ(kWaitKeys, Contents());

    // A WaitFlag of exactly "0" counts as missing.
    UseFile("[Option]\r\nWaitFlag=0\r\nWaitTime=300\r\n");
    LoadTrayWaitSettings();
    EXPECT_EQ(300, app.WaitTime);
    EXPECT_EQ(50, app.WaitCount);
    EXPECT_EQ("[Option]\r\nWaitFlag=1\r\nWaitTime=100\r\nWaitCount=50\r\n", Contents());
}

TEST_F(Settings, AnyOtherWaitFlagWritesNothing)
{
    for (const char* flag : { "1", "00", "", "yes", "0 1" }) {
        SCOPED_TRACE(flag);
        std::string file = std::string("[Option]\r\nWaitTime=500\r\nWaitCount=9\r\nWaitFlag=") + flag + "\r\n";
        UseFile(file.c_str());
        LoadTrayWaitSettings();
        EXPECT_EQ(500, app.WaitTime);
        EXPECT_EQ(9, app.WaitCount);
        EXPECT_EQ(file, Contents());
    }
}

TEST_F(Settings, OtherSectionsAreLeftAlone)
{
    UseFile("[Other]\r\nWaitFlag=1\r\nTimeoutP=5\r\n");
    LoadTrayWaitSettings();
    LoadSettings();
    EXPECT_EQ(20, app.TimeoutP.load());
    // Wine appends the new section without a blank line before it.
    EXPECT_EQ("[Other]\r\nWaitFlag=1\r\nTimeoutP=5\r\n" + kWaitKeys, Contents());
}

TEST_F(Settings, EmptyNumericValuesReadAsZero)
{
    UseFile("[Option]\r\nCardName=\r\nCardIndex=\r\nInitOpt=\r\nStartOpt=\r\nNowOpt=\r\nColorSend=\r\nColorRecv=\r\nTimeoutP=\r\n");
    Scramble();
    LoadSettings();
    // An empty InitOpt (0) suppresses the first-run Setup.
    EXPECT_EQ("|0|0|0|0|0|0|0", Loaded());
}

TEST_F(Settings, NumbersAreReadByTheProfileNumberRule)
{
    UseFile("[Option]\r\nCardIndex=  12abc\r\nInitOpt=-1\r\nStartOpt=+1\r\nNowOpt=x1\r\n"
            "ColorSend=3\r\nColorRecv=0\r\nTimeoutP=99999999999\r\n");
    LoadSettings();
    EXPECT_EQ("|12|-1|1|0|3|0|2147483647", Loaded());
}

TEST_F(Settings, OddValuesAreLoadedAndSavedUnchanged)
{
    UseFile("[Option]\r\nWaitTime=100\r\nWaitCount=50\r\nWaitFlag=1\r\nCardName=Ethernet\r\nCardIndex=-1\r\n"
            "InitOpt=-1\r\nStartOpt=0\r\nNowOpt=0\r\nColorSend=0\r\nColorRecv=3\r\nTimeoutP=0\r\nLampShapes=1\r\n");
    LoadSettings();
    EXPECT_EQ("Ethernet|-1|-1|0|0|0|3|0", Loaded());
    std::string before = Contents();
    SaveSettings();
    EXPECT_EQ(before, Contents());
}

// The traffic graph's place counts only as a whole; a file comes back from
// a save as it was.
TEST_F(Settings, GraphPlaceComesBackOnlyWithAllFourKeys)
{
    const struct {
        const char* keys;
        int32_t stored;
        const char* place;
    } cases[] = {
        { "GraphX=-1900\r\nGraphY=5000\r\nGraphW=0\r\nGraphH=99999\r\n", 1, "-1900|5000|0|99999" },
        { "GraphX=10\r\nGraphY=20\r\nGraphW=30\r\n", 0, nullptr },
    };
    for (const auto& c : cases) {
        UseFile((kWaitKeys + "CardName=Ethernet\r\nCardIndex=0\r\nInitOpt=-1\r\nStartOpt=0\r\nNowOpt=0\r\n"
                             "ColorSend=1\r\nColorRecv=2\r\nTimeoutP=20\r\n" + c.keys).c_str());
        LoadSettings();
        EXPECT_EQ(c.stored, app.graphPlaceStored) << c.keys;
        if (c.place != nullptr) {
            EXPECT_EQ(c.place, std::to_string(app.GraphX) + "|" + std::to_string(app.GraphY) + "|"
                                   + std::to_string(app.GraphW) + "|" + std::to_string(app.GraphH));
        }
        std::string before = Contents();
        SaveSettings();
        EXPECT_EQ(before, Contents()) << c.keys;
    }
}

TEST_F(Settings, CardMissingKeepsTheStoredCard)
{
    UseFile("[Option]\r\nWaitTime=100\r\nWaitCount=50\r\nWaitFlag=1\r\nCardName=USB Ethernet\r\nCardIndex=4\r\n"
            "InitOpt=-1\r\nStartOpt=1\r\nNowOpt=0\r\nColorSend=1\r\nColorRecv=2\r\nTimeoutP=20\r\n");
    LoadSettings();
    EXPECT_STREQ("USB Ethernet", app.CardName);
    EXPECT_EQ(4, app.selectedIndex.load());
    // The adapter is absent in this run: start-up chose another one.
    app.cardMissing = 1;
    lstrcpynA(app.CardName, "Wi-Fi", sizeof app.CardName);
    app.selectedIndex = 0;
    app.StartOpt = 0;
    app.NowOpt = 1;
    app.ColorSend = 2;
    app.ColorRecv = 1;
    app.TimeoutP = 40;
    SaveSettings();
    EXPECT_EQ("[Option]\r\nWaitTime=100\r\nWaitCount=50\r\nWaitFlag=1\r\nCardName=USB Ethernet\r\nCardIndex=4\r\n"
              "InitOpt=-1\r\nStartOpt=0\r\nNowOpt=1\r\nColorSend=2\r\nColorRecv=1\r\nTimeoutP=40\r\n",
              Contents());

    // Once cleared, the card is written again.
    app.cardMissing = 0;
    SaveSettings();
    EXPECT_EQ("[Option]\r\nWaitTime=100\r\nWaitCount=50\r\nWaitFlag=1\r\nCardName=Wi-Fi\r\nCardIndex=0\r\n"
              "InitOpt=-1\r\nStartOpt=0\r\nNowOpt=1\r\nColorSend=2\r\nColorRecv=1\r\nTimeoutP=40\r\n",
              Contents());
}

TEST_F(Settings, CardMissingOnANewFileWritesOnlyTheSixKeys)
{
    UseFile(nullptr);
    app.cardMissing = 1;
    lstrcpynA(app.CardName, "Wi-Fi", sizeof app.CardName);
    app.selectedIndex = 2;
    SaveSettings();
    EXPECT_EQ("[Option]\r\nInitOpt=-2\r\nStartOpt=0\r\nNowOpt=0\r\nColorSend=1\r\nColorRecv=2\r\nTimeoutP=20\r\n",
              Contents());
}

TEST_F(Settings, CardNameKeepsAtMost499Characters)
{
    std::string longName(600, 'n');
    std::string file = "[Option]\r\nCardName=" + longName + "\r\n";
    UseFile(file.c_str());
    LoadSettings();
    EXPECT_EQ(std::string(499, 'n'), app.CardName);

    // Written back exactly as held.
    UseFile(nullptr);
    std::string held(499, 'h');
    lstrcpynA(app.CardName, held.c_str(), sizeof app.CardName);
    SaveSettings();
    EXPECT_EQ("[Option]\r\nCardName=" + held + "\r\nCardIndex=-1\r\nInitOpt=-2\r\nStartOpt=0\r\nNowOpt=0\r\n"
                  "ColorSend=1\r\nColorRecv=2\r\nTimeoutP=20\r\n",
              Contents());
}

TEST_F(Settings, SaveNeverWritesTheWaitKeys)
{
    UseFile("[Option]\r\nWaitTime=700\r\nWaitCount=0\r\nWaitFlag=1\r\n");
    LoadTrayWaitSettings();
    app.WaitTime = 123;
    app.WaitCount = 4;
    SaveSettings();
    EXPECT_EQ("[Option]\r\nWaitTime=700\r\nWaitCount=0\r\nWaitFlag=1\r\nCardName=\r\nCardIndex=-1\r\nInitOpt=-2\r\n"
              "StartOpt=0\r\nNowOpt=0\r\nColorSend=1\r\nColorRecv=2\r\nTimeoutP=20\r\n",
              Contents());
}

TEST_F(Settings, UnwritableFileIsSilentlyLeftUnsaved)
{
    // A folder that does not exist stands for one that cannot be written (the
    // tests run as root, for whom a read-only file is still writable).
    std::string missing = folder + "no such folder\\NetGlow.ini";
    lstrcpynA(app.settingsPath, missing.c_str(), sizeof app.settingsPath);
    app.TimeoutP = 55;
    EXPECT_EQ(0, SaveSettings());
    EXPECT_EQ(0, LoadTrayWaitSettings());
    EXPECT_EQ(100, app.WaitTime);
    EXPECT_EQ(50, app.WaitCount);
    EXPECT_EQ(0, LoadSettings());
    ExpectDefaults();
    EXPECT_FALSE(PathExists(folder + "no such folder"));
}
