// The Setup dialog: adapter, lamp colours, start options and lamp time.
#include "dialogs/dialogs_win.h"
#include <cstdio>
#include "adapters/adapter_build_win.h"
#include "core/app_state.h"
#include "core/message_box_win.h"
#include "core/settings_win.h"
#include "dialogs/setup_rules.h"
#include "monitor/monitoring_win.h"
#include "res/resource.h"
#include "tray/tray_icon_win.h"

namespace {

const char TEXT_NOT_CHOSEN[] = "The network card is not chosen.";
const char TEXT_SAVE[] = "Save Changes?";
const char TEXT_NOT_NUMBER[] = "The item of time should specify a numerical value.";
const char TEXT_DISCARD[] = "Discard Changes?";
const char TEXT_AUTOMATIC[] = "Automatic (the connection in use)";

bool IsChecked(HWND window, int id) { return IsDlgButtonChecked(window, id) == BST_CHECKED; }

// The choice the list shows: SETUP_AUTOMATIC, a table index, or -1.
int32_t ListSelection(HWND window)
{
    LRESULT selection = SendDlgItemMessageA(window, IDC_CARD_LIST, CB_GETCURSEL, 0, 0);
    return ChoiceOfListItem(selection == CB_ERR ? -1 : static_cast<int32_t>(selection));
}

// The lamp-time field; a text too long for the buffer is no number either.
bool ReadTimeoutField(HWND window, uint32_t* value)
{
    char text[64];
    HWND field = GetDlgItem(window, IDC_TIMEOUT);
    if (GetWindowTextLengthA(field) >= static_cast<int>(sizeof text)) {
        *value = 0;
        return false;
    }
    GetWindowTextA(field, text, sizeof text);
    return ReadTimeoutText(text, value);
}

bool Ask(HWND window, const char* question)
{
    return ShowAppMessage(window, question, MB_YESNO | MB_ICONQUESTION) == IDYES;
}

void EndSetup(HWND window)
{
    app.dialogOpen = 0;
    EndDialog(window, 0);
}

// At the first start the dialog is all the user sees of the program: it has
// no owner (an owned window gets no taskbar button from some shells, even
// with WS_EX_APPWINDOW) and comes to the foreground.
void ShowAsProgramWindow(HWND window)
{
    SetWindowLongPtrA(window, GWL_EXSTYLE, GetWindowLongPtrA(window, GWL_EXSTYLE) | WS_EX_APPWINDOW);
    // Loaded once and kept: the window holds on to them while it is open.
    static HICON big = LoadIconA(app.instance, MAKEINTRESOURCEA(ICON_APP));
    static HICON small = static_cast<HICON>(LoadImageA(app.instance, MAKEINTRESOURCEA(ICON_APP), IMAGE_ICON,
                                                       GetSystemMetrics(SM_CXSMICON),
                                                       GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR));
    SendMessageA(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
    SendMessageA(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small != nullptr ? small : big));
    ShowWindow(window, SW_SHOW);
    SetForegroundWindow(window);
}

INT_PTR OnSetupInit(HWND window, LPARAM firstRun)
{
    if (firstRun != 0)
        ShowAsProgramWindow(window);
    HWND list = GetDlgItem(window, IDC_CARD_LIST);
    int32_t count = app.adapters.count;
    SendMessageA(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(TEXT_AUTOMATIC));
    for (int32_t i = 0; i < count && i < ADAPTER_MAX; ++i)
        SendMessageA(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(app.adapters.connectionName[i]));
    int32_t item = PreselectedListItem(app.CardAuto, firstRun != 0, app.selectedIndex, count);
    if (item >= 0)
        SendMessageA(list, CB_SETCURSEL, static_cast<WPARAM>(item), 0);

    CheckDlgButton(window, app.ColorSend == 1 ? IDC_SEND_RED : IDC_SEND_YELLOW, BST_CHECKED);
    CheckDlgButton(window, app.ColorRecv == 1 ? IDC_RECV_RED : IDC_RECV_YELLOW, BST_CHECKED);
    CheckDlgButton(window, IDC_START_OPT, app.StartOpt == 1 ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(window, IDC_NOW_OPT, app.NowOpt == 1 ? BST_CHECKED : BST_UNCHECKED);

    char timeout[16];
    snprintf(timeout, sizeof timeout, "%lu",
             static_cast<unsigned long>(static_cast<uint32_t>(app.TimeoutP.load())));
    SetDlgItemTextA(window, IDC_TIMEOUT, timeout);
    // A Quit that came before the dialog was made: it closes at once.
    if (DialogsClosingForQuit())
        PostMessageA(window, WM_CLOSE, 0, 0);
    return 1;
}

void OnSetupOk(HWND window)
{
    int32_t selection = ListSelection(window);
    if (!SetupCardChosen(app.adapters.count, selection)) {
        ShowAppMessage(window, TEXT_NOT_CHOSEN, MB_OK | MB_ICONINFORMATION);
        return;
    }
    if (SetupDialogChanged(window) && !Ask(window, TEXT_SAVE))
        return;

    app.cardMissing = 0;
    if (selection == SETUP_AUTOMATIC) {
        // The connection in use is chosen when monitoring starts.
        app.CardAuto = 1;
        app.cardAutoStored = 1;
    } else {
        app.CardAuto = 0;
        app.selectedIndex = selection;
        lstrcpynA(app.CardName, app.adapters.connectionName[selection], sizeof app.CardName);
        TrayIconSetTip(app.CardName);
    }
    app.ColorSend = ColorFromRedButton(IsChecked(window, IDC_SEND_RED));
    app.ColorRecv = ColorFromRedButton(IsChecked(window, IDC_RECV_RED));
    app.StartOpt = IsChecked(window, IDC_START_OPT) ? 1 : 0;
    if (IsChecked(window, IDC_NOW_OPT)) {
        if (app.monitoring == 0)
            StartMonitoring();
        app.NowOpt = 1;
    } else {
        app.NowOpt = 0;
    }
    uint32_t timeout;
    bool readable = ReadTimeoutField(window, &timeout);
    app.TimeoutP = static_cast<int32_t>(timeout);
    if (!readable) {
        ShowAppMessage(window, TEXT_NOT_NUMBER, MB_OK | MB_ICONINFORMATION);
        return;
    }
    SaveSettings();
    EndSetup(window);
}

// Cancel and the close command: false when the user keeps the dialog open.
bool OnSetupCancel(HWND window)
{
    if (SetupDialogChanged(window) && !Ask(window, TEXT_DISCARD))
        return false;
    EndSetup(window);
    return true;
}

INT_PTR OnSetupCommand(HWND window, WORD id)
{
    // The dialog's standard accept and cancel (Enter, Escape) end nothing.
    if (id == IDC_SETUP_OK)
        OnSetupOk(window);
    else if (id == IDC_SETUP_CANCEL)
        OnSetupCancel(window);
    return 0;
}

INT_PTR OnSetupSysCommand(HWND window, WPARAM command)
{
    if (command != SC_CLOSE)
        return 0;
    // Refused: returning 1 keeps the default close from running.
    return OnSetupCancel(window) ? 0 : 1;
}

} // namespace

int SetupDialogChanged(HWND window)
{
    SetupControls controls;
    controls.listSelection = ListSelection(window);
    controls.sendRed = IsChecked(window, IDC_SEND_RED);
    controls.sendYellow = IsChecked(window, IDC_SEND_YELLOW);
    controls.recvRed = IsChecked(window, IDC_RECV_RED);
    controls.recvYellow = IsChecked(window, IDC_RECV_YELLOW);
    controls.startOpt = IsChecked(window, IDC_START_OPT);
    controls.nowOpt = IsChecked(window, IDC_NOW_OPT);
    ReadTimeoutField(window, &controls.timeout);

    SetupValues values;
    values.selectedIndex = app.CardAuto == 1 ? static_cast<int32_t>(SETUP_AUTOMATIC) : app.selectedIndex.load();
    values.ColorSend = app.ColorSend;
    values.ColorRecv = app.ColorRecv;
    values.StartOpt = app.StartOpt;
    values.NowOpt = app.NowOpt;
    values.TimeoutP = app.TimeoutP;
    return SetupControlsDiffer(controls, values);
}

INT_PTR CALLBACK SetupDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        return OnSetupInit(window, lParam);
    case WM_COMMAND:
        return OnSetupCommand(window, LOWORD(wParam));
    case WM_SYSCOMMAND:
        return OnSetupSysCommand(window, wParam);
    case WM_HELP:
        OpenHelp();
        return 0;
    case WM_CLOSE:
    case WM_DESTROY:
        EndSetup(window);
        return 0;
    }
    return 0;
}

int ShowSetupDialog(HWND owner, bool firstRun)
{
    if (BuildAdapterTable() != 0)
        return RESULT_STEP_FAILED;
    FindAdapterByName();
    app.dialogOpen = 1;
    DialogBoxParamA(app.instance, MAKEINTRESOURCEA(IDD_SETUP), firstRun ? nullptr : owner, SetupDialogProc,
                    firstRun ? 1 : 0);
    // Also when the dialog could not be created, or the tray menu would stay shut.
    app.dialogOpen = 0;
    return 0;
}
