// The About box: which keys and commands close it, and F1.
#include <gtest/gtest.h>
#include <string>
#include "core/app_state.h"
#include "dialogs/dialogs_win.h"
#include "help_fake.h"
#include "res/resource.h"
#include "setup_driver.h"

namespace {


struct Outcome {
    INT_PTR result = -99;
    int openWhileShown = -1;
};

Outcome RunAbout(void (*script)(HWND, void*), Outcome* outcome)
{
    static Outcome* current;
    current = outcome;
    EXPECT_TRUE(driver::Drive("NetGlow", [] { current->result = ShowAboutDialog(nullptr); }, script, outcome));
    EXPECT_EQ(0, app.dialogOpen.load());
    return *outcome;
}

struct CloseCase {
    const char* what;
    void (*close)(HWND);
};

TEST(AboutDialog, OkEnterAndTheCloseCommandsCloseIt)
{
    const CloseCase cases[] = {
        { "OK button", [](HWND d) { driver::Click(d, IDOK); } },
        { "Enter", [](HWND d) { driver::PressKey(d, VK_RETURN); } },
        { "close box", [](HWND d) { PostMessageA(d, WM_SYSCOMMAND, SC_CLOSE, 0); } },
        { "Alt+F4", [](HWND d) { EXPECT_TRUE(driver::PressAltF4(d)); } },
        { "close message", [](HWND d) { PostMessageA(d, WM_CLOSE, 0, 0); } },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ResetAppState();
        Outcome outcome;
        RunAbout([](HWND dialog, void* arg) {
            Outcome* o = static_cast<Outcome*>(arg);
            o->openWhileShown = app.dialogOpen;
            reinterpret_cast<void (*)(HWND)>(o->result)(dialog);
            EXPECT_TRUE(driver::WaitGone(dialog, 5000)) << "still open";
        }, &(outcome = Outcome{ reinterpret_cast<INT_PTR>(c.close), -1 }));
        EXPECT_EQ(1, outcome.openWhileShown);
        EXPECT_EQ(IDOK, outcome.result);
    }
}

TEST(AboutDialog, EscapeDoesNotCloseItF1OpensHelp)
{
    ResetAppState();
    lstrcpynA(app.helpPath, "C:\\NetGlow\\NetGlow.chm", sizeof app.helpPath);
    help->Reset();
    Outcome outcome;
    RunAbout([](HWND dialog, void*) {
        driver::PressKey(dialog, VK_ESCAPE);
        ASSERT_TRUE(driver::Settle(dialog)) << "Escape closed the box";
        ASSERT_TRUE(driver::PressF1(dialog));
        // Typed keys come after posted messages: wait for the help itself.
        EXPECT_TRUE(WaitFor([] { return help->Calls().size() >= 3; }, 5000)) << "the help was not opened";
        ASSERT_TRUE(driver::Settle(dialog)) << "F1 closed the box";
        EXPECT_EQ(1, app.dialogOpen.load());
        driver::Click(dialog, IDOK);
        EXPECT_TRUE(driver::WaitGone(dialog));
    }, &outcome);
    auto calls = help->Calls();
    ASSERT_EQ(3u, calls.size());
    EXPECT_EQ("C:\\NetGlow\\NetGlow.chm", calls[0].file);
    EXPECT_EQ(IDOK, outcome.result);
}

TEST(AboutDialog, ShowsTheVersionLine)
{
    ResetAppState();
    Outcome outcome;
    static std::wstring line;
    RunAbout([](HWND dialog, void*) {
        HWND child = GetWindow(GetDlgItem(dialog, IDOK), GW_HWNDNEXT);
        wchar_t text[128] = L"";
        GetWindowTextW(child, text, 128);
        line = text;
    }, &outcome);
    // The template holds the line in UTF-16 (see the resources test); an ANSI
    // dialog shows it through the system's code page, which under a
    // non-Japanese one turns the full-width characters into their nearest forms.
    const wchar_t* designed = L"NetGlow\u3000\uFF08WinPcap Edition\uFF09     Version " NETGLOW_VERSION;
    char ansi[128];
    wchar_t expected[128];
    WideCharToMultiByte(CP_ACP, 0, designed, -1, ansi, sizeof ansi, nullptr, nullptr);
    MultiByteToWideChar(CP_ACP, 0, ansi, -1, expected, 128);
    EXPECT_TRUE(line == expected);
    if (GetACP() == 932) {
        EXPECT_TRUE(line == designed);
    }
}

TEST(AboutDialog, ShowsTheFolderOfTheSettings)
{
    const struct { const char* settingsPath; const char* shown; } rows[] = {
        { "C:\\Program Files\\NetGlow\\NetGlow.ini", "C:\\Program Files\\NetGlow\\" },
        { "C:\\users\\me\\AppData\\Local\\NetGlow\\NetGlow.ini", "C:\\users\\me\\AppData\\Local\\NetGlow\\" },
    };
    for (const auto& row : rows) {
        ResetAppState();
        lstrcpynA(app.settingsPath, row.settingsPath, sizeof app.settingsPath);
        Outcome outcome;
        static char shown[PATH_FIELD_SIZE];
        RunAbout([](HWND dialog, void*) {
            GetDlgItemTextA(dialog, IDC_DATA_FOLDER, shown, sizeof shown);
            driver::Click(dialog, IDOK);
        }, &outcome);
        EXPECT_STREQ(row.shown, shown);
    }
}

TEST(AboutDialog, ABoxThatCannotOpenLeavesTheMenuUsable)
{
    ResetAppState();
    // A module without the template: the box cannot be created.
    app.instance = GetModuleHandleA("kernel32.dll");
    EXPECT_EQ(-1, ShowAboutDialog(nullptr));
    EXPECT_EQ(0, app.dialogOpen.load());
}

} // namespace

int main(int argc, char** argv) { return RunTestsWithFakeHelp(argc, argv); }
