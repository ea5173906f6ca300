// The tray image at the small-icon size of the display scaling. Wine takes
// its scaling from the prefix's "LogPixels" when a process starts, so each
// scaling is seen by a fresh copy of this program (--report-sizes), started
// while the prefix is set to it.
#include <gtest/gtest.h>
#include <cstdio>
#include <string>
#include "app/app_state.h"
#include "res/resource.h"
#include "tray/tray_icon_win.h"
#include "tray/tray_image_win.h"

namespace {

const char DESKTOP_KEY[] = "Control Panel\\Desktop";

int IconWidth(HICON icon)
{
    ICONINFO info = {};
    if (!GetIconInfo(icon, &info))
        return 0;
    BITMAP bitmap = {};
    GetObjectA(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof bitmap, &bitmap);
    if (info.hbmColor)
        DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    return bitmap.bmWidth;
}

// "<SM_CXSMICON> <tray image width> <bits per pixel>" of this process: the
// image the tray record holds after the lamp was set (no icon was added, so
// the shell refuses the change and nothing else happens).
int ReportSizes()
{
    ResetAppState();
    TrayIconSetImage(ICON_RED);
    HICON icon = app.trayData.hIcon;
    ICONINFO info = {};
    BITMAP bitmap = {};
    if (GetIconInfo(icon, &info) && info.hbmColor)
        GetObjectA(info.hbmColor, sizeof bitmap, &bitmap);
    std::printf("%d %d %d\n", GetSystemMetrics(SM_CXSMICON), IconWidth(icon), bitmap.bmBitsPixel);
    return 0;
}

// Sets LogPixels for the life of the object, then puts back what was there.
class PrefixScaling {
public:
    explicit PrefixScaling(DWORD dpi)
    {
        RegCreateKeyExA(HKEY_CURRENT_USER, DESKTOP_KEY, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_, nullptr);
        DWORD size = sizeof before_;
        had_ = RegQueryValueExA(key_, "LogPixels", nullptr, nullptr, reinterpret_cast<BYTE*>(&before_), &size)
               == ERROR_SUCCESS;
        RegSetValueExA(key_, "LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dpi), sizeof dpi);
    }
    ~PrefixScaling()
    {
        if (had_)
            RegSetValueExA(key_, "LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&before_), sizeof before_);
        else
            RegDeleteValueA(key_, "LogPixels");
        RegCloseKey(key_);
    }

private:
    HKEY key_ = nullptr;
    DWORD before_ = 0;
    bool had_ = false;
};

// Runs this program with --report-sizes and returns what it printed.
std::string ReportedSizes()
{
    SECURITY_ATTRIBUTES inherit = { sizeof inherit, nullptr, TRUE };
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0))
        return "<no pipe>";
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    char module[MAX_PATH];
    GetModuleFileNameA(nullptr, module, sizeof module);
    std::string command = std::string("\"") + module + "\" --report-sizes";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
    PROCESS_INFORMATION process = {};
    BOOL started = CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                                  &process);
    CloseHandle(writeEnd);
    // Wine's helper processes, started on the child's behalf, may inherit the
    // pipe and keep it open: wait for the child, not for the pipe's end.
    std::string output = started ? "" : "<not started>";
    if (started) {
        if (WaitForSingleObject(process.hProcess, 30000) != WAIT_OBJECT_0)
            output = "<still running>";
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
    }
    char chunk[256];
    DWORD available = 0, got = 0;
    while (PeekNamedPipe(readEnd, nullptr, 0, nullptr, &available, nullptr) && available > 0
           && ReadFile(readEnd, chunk, sizeof chunk < available ? sizeof chunk : available, &got, nullptr) && got > 0)
        output.append(chunk, got);
    CloseHandle(readEnd);
    while (!output.empty() && (output.back() == '\n' || output.back() == '\r'))
        output.pop_back();
    return output;
}

TEST(TrayImage, IsTheSmallIconSizeOfTheDisplayScaling)
{
    const struct { DWORD dpi; const char* sizes; } rows[] = {
        { 96, "16 16 32" },   // 100 %
        { 144, "24 24 32" },  // 150 %
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.dpi);
        PrefixScaling scaling(row.dpi);
        EXPECT_EQ(row.sizes, ReportedSizes());
    }
}

TEST(TrayImage, EachLampIsLoadedOncePerSize)
{
    ResetAppState();
    HICON red = LoadTrayImage(ICON_RED);
    ASSERT_NE(nullptr, red);
    EXPECT_EQ(red, LoadTrayImage(ICON_RED));
    EXPECT_EQ(red, LoadTrayImage(0x10000u | ICON_RED)) << "only the low 16 bits name the resource";
    EXPECT_NE(red, LoadTrayImage(ICON_YELLOW));
    EXPECT_EQ(CurrentTrayImageSize(), IconWidth(red));
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 2 && std::string(argv[1]) == "--report-sizes")
        return ReportSizes();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
