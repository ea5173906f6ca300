// Display scaling: the tray image at the small-icon size, and the dialogs'
// texts within their controls. Each scaling is seen by a fresh copy of this
// program (--report-scaling), started while the prefix is set to it.
#include <gtest/gtest.h>
#include <cstdio>
#include <string>
#include "core/app_state.h"
#include "dialogs/dialogs_win.h"
#include "res/resource.h"
#include "support/prefix_scaling.h"
#include "tray/tray_icon_win.h"
#include "tray/tray_image_win.h"

namespace {

struct IconSize {
    int width = 0;
    int bits = 0;
};

IconSize SizeOf(HICON icon)
{
    IconSize size;
    ICONINFO info = {};
    if (!GetIconInfo(icon, &info))
        return size;
    BITMAP bitmap = {};
    GetObjectA(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof bitmap, &bitmap);
    size.width = bitmap.bmWidth;
    size.bits = info.hbmColor ? bitmap.bmBitsPixel : 1;
    if (info.hbmColor)
        DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    return size;
}

// Prints "overflow <text> <needed> <available>" for every text of the dialog
// that its control cannot show whole (check boxes and radio buttons lose
// their box and its gap, push buttons their frame).
void ReportOverflows(int dialogId, DLGPROC procedure)
{
    HWND dialog = CreateDialogParamA(app.instance, MAKEINTRESOURCEA(dialogId), nullptr, procedure, 0);
    if (dialog == nullptr) {
        std::printf("no dialog %d\n", dialogId);
        return;
    }
    UINT dpi = GetDeviceCaps(GetDC(nullptr), LOGPIXELSX);
    for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        char className[16] = "";
        GetClassNameA(child, className, sizeof className);
        wchar_t text[128] = L"";
        GetWindowTextW(child, text, 128);
        LONG style = GetWindowLongA(child, GWL_STYLE);
        bool button = lstrcmpiA(className, "Button") == 0;
        if (text[0] == L'\0' || (button && (style & 0x0F) == BS_GROUPBOX))
            continue;
        RECT rect;
        GetClientRect(child, &rect);
        int available = rect.right;
        if (button && ((style & 0x0F) == BS_AUTOCHECKBOX || (style & 0x0F) == BS_AUTORADIOBUTTON))
            available -= MulDiv(16, dpi, 96);
        else if (button)
            available -= MulDiv(4, dpi, 96);
        HDC dc = GetDC(child);
        HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageA(child, WM_GETFONT, 0, 0)));
        SIZE needed = {};
        GetTextExtentPoint32W(dc, text, lstrlenW(text), &needed);
        SelectObject(dc, old);
        ReleaseDC(child, dc);
        if (needed.cx > available)
            std::printf("overflow %ls %ld %d\n", text, needed.cx, available);
    }
    DestroyWindow(dialog);
}

// "tray <SM_CXSMICON> <tray image width> <bits per pixel>": the image the
// tray record holds after the lamp was set (no icon was added, so the shell
// refuses the change and nothing else happens); then the overflows.
int ReportScaling()
{
    ResetAppState();
    TrayIconSetImage(ICON_RED);
    IconSize icon = SizeOf(app.trayData.hIcon);
    std::printf("tray %d %d %d\n", GetSystemMetrics(SM_CXSMICON), icon.width, icon.bits);
    ReportOverflows(IDD_SETUP, SetupDialogProc);
    ReportOverflows(IDD_ABOUT, AboutDialogProc);
    std::fflush(stdout);
    return 0;
}

TEST(Scaling, TrayImageIsTheSmallIconSizeAndDialogTextsFit)
{
    const struct { DWORD dpi; const char* report; } rows[] = {
        { 96, "tray 16 16 32" },    // 100 %
        { 120, "tray 20 20 32" },   // 125 %
        { 144, "tray 24 24 32" },   // 150 %
        { 192, "tray 32 32 32" },   // 200 %
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.dpi);
        PrefixScaling scaling(row.dpi);
        EXPECT_EQ(row.report, RunThisProgram("--report-scaling"));
    }
}

TEST(Scaling, EachLampIsLoadedOncePerSize)
{
    ResetAppState();
    HICON red = LoadTrayImage(ICON_RED);
    ASSERT_NE(nullptr, red);
    EXPECT_EQ(red, LoadTrayImage(ICON_RED));
    EXPECT_EQ(red, LoadTrayImage(0x10000u | ICON_RED)) << "only the low 16 bits name the resource";
    EXPECT_NE(red, LoadTrayImage(ICON_YELLOW));
    EXPECT_EQ(CurrentTrayImageSize(), SizeOf(red).width);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 2 && std::string(argv[1]) == "--report-scaling")
        return ReportScaling();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
