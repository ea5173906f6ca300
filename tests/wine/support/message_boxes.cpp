#include "support/message_boxes.h"
#include "support/test_files.h"

namespace {

// The process's message boxes with the caption, but `besides`, in the
// system's order.
std::vector<HWND> MessageBoxes(const char* caption, HWND besides, DWORD processId)
{
    std::vector<HWND> boxes;
    for (HWND window : TopWindows(processId, "#32770")) {
        // GetWindowText would send WM_GETTEXT to a window of another thread
        // of this process and wait for it without bound: a thread of the code
        // under test that is itself waiting (for this one, or in a library)
        // would hang the search. Ask with a bound instead.
        char title[256] = "";
        DWORD_PTR copied = 0;
        SendMessageTimeoutA(window, WM_GETTEXT, sizeof title, reinterpret_cast<LPARAM>(title),
                            SMTO_ABORTIFHUNG | SMTO_BLOCK, 500, &copied);
        if (window != besides && lstrcmpA(title, caption) == 0 && GetDlgItem(window, 0xFFFF) != nullptr)
            boxes.push_back(window);
    }
    return boxes;
}

HWND FindMessageBox(const char* caption, HWND besides, DWORD processId)
{
    std::vector<HWND> boxes = MessageBoxes(caption, besides, processId);
    return boxes.empty() ? nullptr : boxes[0];
}

void PumpOnce()
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

struct SystemIcon {
    LPCSTR id;
    UINT style;
} const SYSTEM_ICONS[] = {
    { IDI_HAND, MB_ICONERROR }, { IDI_QUESTION, MB_ICONQUESTION },
    { IDI_ASTERISK, MB_ICONINFORMATION }, { IDI_EXCLAMATION, MB_ICONWARNING },
};

// Icon handles are not comparable across processes, so compare what a box
// of another process shows on screen with each system icon drawn on the
// same background.
UINT ShownIconStyle(HWND iconControl)
{
    RECT rect;
    GetWindowRect(iconControl, &rect);
    const int size = 32;
    HDC screen = GetDC(nullptr);
    HDC shown = CreateCompatibleDC(screen);
    HBITMAP shownBitmap = CreateCompatibleBitmap(screen, size, size);
    HGDIOBJ oldShown = SelectObject(shown, shownBitmap);
    BitBlt(shown, 0, 0, size, size, screen, rect.left, rect.top, SRCCOPY);
    COLORREF background = GetPixel(shown, 0, 0);
    HDC drawn = CreateCompatibleDC(screen);
    HBITMAP drawnBitmap = CreateCompatibleBitmap(screen, size, size);
    HGDIOBJ oldDrawn = SelectObject(drawn, drawnBitmap);
    UINT style = 0;
    for (const SystemIcon& icon : SYSTEM_ICONS) {
        HBRUSH brush = CreateSolidBrush(background);
        RECT all = { 0, 0, size, size };
        FillRect(drawn, &all, brush);
        DeleteObject(brush);
        DrawIconEx(drawn, 0, 0, LoadIconA(nullptr, icon.id), size, size, 0, nullptr, DI_NORMAL);
        int same = 0;
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x)
                same += GetPixel(drawn, x, y) == GetPixel(shown, x, y);
        if (same == size * size) {
            style = icon.style;
            break;
        }
    }
    SelectObject(drawn, oldDrawn);
    DeleteObject(drawnBitmap);
    DeleteDC(drawn);
    SelectObject(shown, oldShown);
    DeleteObject(shownBitmap);
    DeleteDC(shown);
    ReleaseDC(nullptr, screen);
    return style;
}

UINT IconStyleOf(HWND box, DWORD processId)
{
    // Windows numbers the icon control 0x14, Wine 0x440.
    HWND iconControl = GetDlgItem(box, 0x0014);
    if (iconControl == nullptr)
        iconControl = GetDlgItem(box, 0x0440);
    if (iconControl == nullptr)
        return 0;
    if (processId != GetCurrentProcessId()) {
        // The box may still be painting; look again for a moment.
        UINT style = 0;
        WaitFor([&] { return (style = ShownIconStyle(iconControl)) != 0; }, 1000);
        return style;
    }
    HICON shown = reinterpret_cast<HICON>(SendMessageA(iconControl, STM_GETICON, 0, 0));
    if (shown == nullptr)
        return 0;
    for (const SystemIcon& icon : SYSTEM_ICONS)
        if (LoadIconA(nullptr, icon.id) == shown)
            return icon.style;
    return 0;
}

} // namespace

bool WaitForMessageBox(SeenMessageBox* box, DWORD timeoutMs, const char* caption, HWND besides, DWORD processId)
{
    if (processId == 0)
        processId = GetCurrentProcessId();
    DWORD start = GetTickCount();
    for (;;) {
        HWND window = FindMessageBox(caption, besides, processId);
        if (window != nullptr) {
            char text[2048] = "";
            GetDlgItemTextA(window, 0xFFFF, text, sizeof text);
            box->window = window;
            box->owner = GetWindow(window, GW_OWNER);
            box->caption = caption;
            box->text = text;
            box->iconStyle = IconStyleOf(window, processId);
            box->threadId = GetWindowThreadProcessId(window, nullptr);
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

bool WaitForMessageBoxOf(DWORD processId, SeenMessageBox* box, DWORD timeoutMs)
{
    return WaitForMessageBox(box, timeoutMs, "NetGlow", nullptr, processId);
}

int CountMessageBoxesOf(DWORD processId, const char* caption)
{
    return static_cast<int>(MessageBoxes(caption, nullptr, processId).size());
}

std::vector<HWND> TopWindows(DWORD processId, const char* className, bool visibleOnly)
{
    struct Search {
        DWORD processId;
        const char* className;
        bool visibleOnly;
        std::vector<HWND> found;
    } search = { processId, className, visibleOnly, {} };
    EnumWindows([](HWND window, LPARAM param) -> BOOL {
        Search* search = reinterpret_cast<Search*>(param);
        DWORD pid = 0;
        char name[64] = "";
        GetWindowThreadProcessId(window, &pid);
        GetClassNameA(window, name, sizeof name);
        if (pid == search->processId && (!search->visibleOnly || IsWindowVisible(window))
            && (search->className == nullptr || lstrcmpA(name, search->className) == 0))
            search->found.push_back(window);
        return TRUE;
    }, reinterpret_cast<LPARAM>(&search));
    return search.found;
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

void PumpPending()
{
    PumpOnce();
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
