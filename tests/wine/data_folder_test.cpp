// Where NetGlow.ini and NetGlow.txt go. Wine runs as root, so no folder is
// really read-only here: the file system's answer to the write probe is
// replaced instead, through the test program's own import of CreateFileA,
// which refuses to create anything in the folder under test. For the same
// reason the token's elevation is answered by a stand-in for
// GetTokenInformation.
#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>
#include <string>
#include "core/app_state.h"
#include "app/data_folder_win.h"
#include "core/settings_win.h"
#include "support/import_patch.h"
#include "support/lamp_window.h"

namespace {

typedef HANDLE(WINAPI* CreateFileFn)(LPCSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE);
CreateFileFn realCreateFile;
std::string readOnlyFolder;  // empty: every folder can be written
int refusedCreates;

typedef BOOL(WINAPI* TokenInformationFn)(HANDLE, TOKEN_INFORMATION_CLASS, LPVOID, DWORD, PDWORD);
TokenInformationFn realTokenInformation;
DWORD elevated; // the stand-in's answer

BOOL WINAPI TokenInformationStandIn(HANDLE token, TOKEN_INFORMATION_CLASS kind, LPVOID data, DWORD size,
                                    PDWORD returned)
{
    if (kind != TokenElevation)
        return realTokenInformation(token, kind, data, size, returned);
    if (size < sizeof(TOKEN_ELEVATION)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    static_cast<TOKEN_ELEVATION*>(data)->TokenIsElevated = elevated;
    *returned = sizeof(TOKEN_ELEVATION);
    return TRUE;
}

HANDLE WINAPI CreateFileRefusingTheFolder(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                                          DWORD disposition, DWORD flags, HANDLE templateFile)
{
    bool creates = disposition != OPEN_EXISTING && (access & (GENERIC_WRITE | FILE_WRITE_DATA)) != 0;
    if (creates && !readOnlyFolder.empty() && lstrlenA(name) > static_cast<int>(readOnlyFolder.size())
        && CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, name, static_cast<int>(readOnlyFolder.size()),
                          readOnlyFolder.c_str(), static_cast<int>(readOnlyFolder.size())) == CSTR_EQUAL) {
        ++refusedCreates;
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    return realCreateFile(name, access, share, security, disposition, flags, templateFile);
}

std::string LocalFolder()
{
    char base[MAX_PATH] = "";
    SHGetFolderPathA(nullptr, CSIDL_LOCAL_APPDATA, nullptr, 0, base);
    return std::string(base) + "\\NetGlow\\";
}

int FilesIn(const std::string& folder)
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "*").c_str(), &found);
    int count = 0;
    if (search != INVALID_HANDLE_VALUE) {
        do
            count += (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? 0 : 1;
        while (FindNextFileA(search, &found));
        FindClose(search);
    }
    return count;
}

const std::string kWaitKeys = "[Option]\r\nWaitTime=100\r\nWaitCount=50\r\nWaitFlag=1\r\n";
const std::string kSaved = kWaitKeys
    + "CardName=\r\nCardIndex=-1\r\nInitOpt=-2\r\nStartOpt=0\r\nNowOpt=0\r\nColorSend=1\r\nColorRecv=2\r\nTimeoutP=20\r\n";

class DataFolderChoice : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        realCreateFile = reinterpret_cast<CreateFileFn>(
            PatchImport("CreateFileA", reinterpret_cast<void*>(CreateFileRefusingTheFolder)));
        realTokenInformation = reinterpret_cast<TokenInformationFn>(
            PatchImport("GetTokenInformation", reinterpret_cast<void*>(TokenInformationStandIn)));
    }
    void SetUp() override
    {
        ASSERT_NE(nullptr, realCreateFile);
        ResetAppState();
        program = MakeTempFolder("program");
        lstrcpynA(app.moduleDir, program.c_str(), sizeof app.moduleDir);
        lstrcpynA(app.settingsPath, (program + "NetGlow.ini").c_str(), sizeof app.settingsPath);
        lstrcpynA(app.logPath, (program + "NetGlow.txt").c_str(), sizeof app.logPath);
        lstrcpynA(app.helpPath, (program + "NetGlow.chm").c_str(), sizeof app.helpPath);
        local = LocalFolder();
        RemoveLocal();
        readOnlyFolder.clear();
        refusedCreates = 0;
        elevated = 0;
    }
    void TearDown() override
    {
        readOnlyFolder.clear();
        RemoveLocal();
    }
    void RemoveLocal()
    {
        DeleteFileA((local + "NetGlow.ini").c_str());
        DeleteFileA((local + "NetGlow.txt").c_str());
        RemoveDirectoryA(local.c_str());
    }
    // What the program writes on its first start, and the log file the
    // capture would append to.
    void WriteAsTheProgramDoes()
    {
        LoadTrayWaitSettings();
        LoadSettings();
        SaveSettings();
        ASSERT_TRUE(WriteWholeFile(app.logPath, "line\r\n"));
    }
    std::string program, local;
};

} // namespace

TEST_F(DataFolderChoice, AWritableProgramFolderKeepsEverythingBesideTheProgram)
{
    EXPECT_EQ(DATA_FOLDER_PROGRAM, ChooseDataFolder());
    EXPECT_EQ(program + "NetGlow.ini", app.settingsPath);
    EXPECT_EQ(program + "NetGlow.txt", app.logPath);
    EXPECT_EQ(program + "NetGlow.chm", app.helpPath);
    EXPECT_EQ(0, FilesIn(program)) << "the probe was left behind";
    EXPECT_FALSE(PathExists(local));
    WriteAsTheProgramDoes();
    EXPECT_EQ(kSaved, ReadFileBytes(program + "NetGlow.ini"));
    EXPECT_EQ("line\r\n", ReadFileBytes(program + "NetGlow.txt"));
    EXPECT_EQ(2, FilesIn(program));
}

// A probe that an earlier process of the same id left behind (it ended
// before it could delete it) does not make the folder look unwritable.
TEST_F(DataFolderChoice, AProbeLeftByAnEarlierProcessIsDeletedAndTheFolderKept)
{
    std::string stale = program + "NetGlow-" + std::to_string(GetCurrentProcessId()) + ".tmp";
    WriteWholeFile(stale, "left");
    ASSERT_TRUE(PathExists(stale));
    EXPECT_EQ(DATA_FOLDER_PROGRAM, ChooseDataFolder());
    EXPECT_EQ(program + "NetGlow.ini", app.settingsPath);
    EXPECT_EQ(0, FilesIn(program)) << "the probe was left behind";
    EXPECT_FALSE(PathExists(local));
}

TEST_F(DataFolderChoice, AReadOnlyProgramFolderMovesSettingsAndLogToLocalAppData)
{
    readOnlyFolder = program;
    EXPECT_EQ(DATA_FOLDER_LOCAL_APP_DATA, ChooseDataFolder());
    EXPECT_EQ(1, refusedCreates) << "one probe";
    EXPECT_EQ(local + "NetGlow.ini", app.settingsPath);
    EXPECT_EQ(local + "NetGlow.txt", app.logPath);
    EXPECT_EQ(program + "NetGlow.chm", app.helpPath) << "the help stays beside the program";
    EXPECT_TRUE(PathExists(local)) << "created";
    WriteAsTheProgramDoes();
    EXPECT_EQ(kSaved, ReadFileBytes(local + "NetGlow.ini"));
    EXPECT_EQ("line\r\n", ReadFileBytes(local + "NetGlow.txt"));
    EXPECT_EQ(0, FilesIn(program));
}

TEST_F(DataFolderChoice, SettingsLeftBesideAReadOnlyProgramCarryOverOnce)
{
    const std::string old = "[Option]\r\nCardName=Ethernet\r\nInitOpt=-1\r\n";
    const std::string mine = "[Option]\r\nCardName=Wi-Fi\r\nInitOpt=-1\r\n";
    WriteWholeFile(program + "NetGlow.ini", old);
    readOnlyFolder = program;

    ASSERT_EQ(DATA_FOLDER_LOCAL_APP_DATA, ChooseDataFolder());
    EXPECT_EQ(old, ReadFileBytes(app.settingsPath));
    // The user's own settings are never overwritten by the old ones.
    WriteWholeFile(app.settingsPath, mine);
    lstrcpynA(app.settingsPath, (program + "NetGlow.ini").c_str(), sizeof app.settingsPath);
    ASSERT_EQ(DATA_FOLDER_LOCAL_APP_DATA, ChooseDataFolder());
    EXPECT_EQ(mine, ReadFileBytes(app.settingsPath));
    EXPECT_EQ(old, ReadFileBytes(program + "NetGlow.ini"));
}

// An elevated run can write beside a program under Program Files. Where the
// normal runs keep their settings in LocalAppData and none lie beside the
// program, it takes those, so that both kinds of run share one file; an
// unelevated copy (a portable one on a stick) keeps the folder it can write.
TEST_F(DataFolderChoice, AnElevatedRunTakesTheSettingsOfTheNormalRuns)
{
    const std::string localSettings = "[Option]\r\nCardName=Wi-Fi\r\nInitOpt=-1\r\n";
    const std::string programSettings = "[Option]\r\nCardName=Ethernet\r\nInitOpt=-1\r\n";
    const struct {
        DWORD elevated;
        bool inLocal, besideProgram;
        DataFolder chosen;
    } cases[] = {
        { 1, true, false, DATA_FOLDER_LOCAL_APP_DATA },
        { 1, true, true, DATA_FOLDER_PROGRAM },
        { 1, false, false, DATA_FOLDER_PROGRAM },
        { 0, true, false, DATA_FOLDER_PROGRAM },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "elevated " << c.elevated << ", in LocalAppData " << c.inLocal
                                        << ", beside the program " << c.besideProgram);
        SetUp();
        elevated = c.elevated;
        if (c.inLocal) {
            CreateDirectoryA(local.c_str(), nullptr);
            WriteWholeFile(local + "NetGlow.ini", localSettings);
        }
        if (c.besideProgram)
            WriteWholeFile(program + "NetGlow.ini", programSettings);
        EXPECT_EQ(c.chosen, ChooseDataFolder());
        std::string folder = c.chosen == DATA_FOLDER_LOCAL_APP_DATA ? local : program;
        EXPECT_EQ(folder + "NetGlow.ini", app.settingsPath);
        EXPECT_EQ(folder + "NetGlow.txt", app.logPath);
        EXPECT_EQ(program + "NetGlow.chm", app.helpPath);
        EXPECT_EQ(c.inLocal ? localSettings : "<missing>", ReadFileBytes(local + "NetGlow.ini"));
        EXPECT_EQ(c.besideProgram ? programSettings : "<missing>", ReadFileBytes(program + "NetGlow.ini"));
        EXPECT_EQ(c.inLocal, PathExists(local)) << "created without need";
        DeleteFileA((program + "NetGlow.ini").c_str());
        TearDown();
    }
}
