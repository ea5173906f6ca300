#include "support/message_boxes.h"

namespace {

struct FindState {
    const char* caption;
    HWND besides;
    HWND found;
};

BOOL CALLBACK FindBox(HWND window, LPARAM param)
{
    FindState* state = reinterpret_cast<FindState*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid != GetCurrentProcessId() || !IsWindowVisible(window) || window == state->besides)
        return TRUE;
    char className[64];
    char title[256] = "";
    GetClassNameA(window, className, sizeof className);
    if (lstrcmpA(className, "#32770") != 0)
        return TRUE;
    // GetWindowText would send WM_GETTEXT to a window of another thread of
    // this process and wait for it without bound: a thread of the code under
    // test that is itself waiting (for this one, or in a library) would hang
    // the search. Ask with a bound instead.
    DWORD_PTR copied = 0;
    SendMessageTimeoutA(window, WM_GETTEXT, sizeof title, reinterpret_cast<LPARAM>(title),
                        SMTO_ABORTIFHUNG | SMTO_BLOCK, 500, &copied);
    if (lstrcmpA(title, state->caption) == 0
        && GetDlgItem(window, 0xFFFF) != nullptr) {
        state->found = window;
        return FALSE;
    }
    return TRUE;
}

HWND FindMessageBox(const char* caption, HWND besides)
{
    FindState state = { caption, besides, nullptr };
    EnumWindows(FindBox, reinterpret_cast<LPARAM>(&state));
    return state.found;
}

void PumpOnce()
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

UINT IconStyleOf(HWND box)
{
    // Windows numbers the icon control 0x14, Wine 0x440.
    HWND iconControl = GetDlgItem(box, 0x0014);
    if (iconControl == nullptr)
        iconControl = GetDlgItem(box, 0x0440);
    if (iconControl == nullptr)
        return 0;
    HICON shown = reinterpret_cast<HICON>(SendMessageA(iconControl, STM_GETICON, 0, 0));
    if (shown == nullptr)
        return 0;
    struct { LPCSTR id; UINT style; } icons[] = {
        { IDI_HAND, MB_ICONERROR }, { IDI_QUESTION, MB_ICONQUESTION },
        { IDI_ASTERISK, MB_ICONINFORMATION }, { IDI_EXCLAMATION, MB_ICONWARNING },
    };
    for (auto& icon : icons)
        if (LoadIconA(nullptr, icon.id) == shown)
            return icon.style;
    return 0;
}

} // namespace

bool WaitForMessageBox(SeenMessageBox* box, DWORD timeoutMs, const char* caption, HWND besides)
{
    DWORD start = GetTickCount();
    for (;;) {
        HWND window = FindMessageBox(caption, besides);
        if (window != nullptr) {
            char text[2048] = "";
            GetDlgItemTextA(window, 0xFFFF, text, sizeof text);
            box->window = window;
            box->owner = GetWindow(window, GW_OWNER);
            box->caption = caption;
            box->text = text;
            box->iconStyle = IconStyleOf(window);
            box->buttons.clear();
            for (int id : { IDOK, IDCANCEL, IDABORT, IDRETRY, IDIGNORE, IDYES, IDNO })
                if (GetDlgItem(window, id) != nullptr && IsWindowVisible(GetDlgItem(window, id)))
                    box->buttons.push_back(id);
            return true;
        }
        if (GetTickCount() - start > timeoutMs)
            return false;
        PumpOnce();
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

bool AnswerMessageBox(const SeenMessageBox& box, int buttonId, DWORD timeoutMs)
{
    if (!IsWindow(box.window))
        return false;
    PostMessageA(box.window, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(box.window, buttonId)));
    DWORD start = GetTickCount();
    while (IsWindow(box.window)) {
        if (GetTickCount() - start > timeoutMs)
            return false;
        PumpOnce();
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    return true;
}

bool NoMessageBoxWithin(DWORD timeoutMs, const char* caption)
{
    SeenMessageBox box;
    return !WaitForMessageBox(&box, timeoutMs, caption);
}

namespace {
struct ThreadCall {
    void (*fn)(void*);
    void* arg;
};
DWORD WINAPI CallThread(LPVOID param)
{
    ThreadCall* call = static_cast<ThreadCall*>(param);
    call->fn(call->arg);
    delete call;
    return 0;
}
} // namespace

HANDLE StartCallThread(void (*fn)(void*), void* arg)
{
    ThreadCall* call = new ThreadCall{ fn, arg };
    HANDLE thread = CreateThread(nullptr, 0, CallThread, call, 0, nullptr);
    if (thread == nullptr)
        delete call;
    return thread;
}

std::vector<SeenMessageBox> RunAnsweringBoxes(void (*fn)(void*), void* arg,
                                              const std::vector<int>& answers, DWORD timeoutMs)
{
    std::vector<SeenMessageBox> seen;
    HANDLE thread = StartCallThread(fn, arg);
    DWORD start = GetTickCount();
    size_t next = 0;
    while (WaitForSingleObject(thread, 0) == WAIT_TIMEOUT) {
        if (GetTickCount() - start > timeoutMs)
            break;
        SeenMessageBox box;
        if (WaitForMessageBox(&box, 50)) {
            seen.push_back(box);
            int answer = next < answers.size() ? answers[next] : IDOK;
            ++next;
            AnswerMessageBox(box, answer);
        }
    }
    WaitForSingleObject(thread, 5000);
    CloseHandle(thread);
    return seen;
}

void PumpMessagesFor(DWORD milliseconds)
{
    DWORD start = GetTickCount();
    while (GetTickCount() - start < milliseconds) {
        PumpOnce();
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
    PumpOnce();
}

bool PumpUntil(bool (*pred)(void*), void* arg, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    while (!pred(arg)) {
        if (GetTickCount() - start > timeoutMs)
            return pred(arg);
        PumpOnce();
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
    return true;
}
