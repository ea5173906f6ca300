#include "support/notify_recorder.h"
#include <cstring>
#include "res/resource.h"
#include "support/import_patch.h"

namespace {

struct State {
    State() { InitializeCriticalSection(&lock); }
    CRITICAL_SECTION lock;
    notify::Shell real = nullptr;
    notify::Shell standIn = nullptr;
    notify::Observer observer = nullptr;
    bool keep = true;
    std::vector<NotifyCall> calls;
};

State& Recorder()
{
    static State state;
    return state;
}

BOOL WINAPI RecordingShell(DWORD message, PNOTIFYICONDATAA data)
{
    State& state = Recorder();
    NotifyCall call;
    call.message = message;
    std::memset(&call.record, 0, sizeof call.record);
    if (data != nullptr)
        std::memcpy(&call.record, data, data->cbSize < sizeof call.record ? data->cbSize : sizeof call.record);
    call.atMs = CounterMs();
    call.lamp = message != NIM_DELETE && (call.record.uFlags & NIF_ICON) ? LampShown(call.record.hIcon) : 0;
    EnterCriticalSection(&state.lock);
    if (state.keep)
        state.calls.push_back(call);
    notify::Shell standIn = state.standIn;
    notify::Observer observer = state.observer;
    LeaveCriticalSection(&state.lock);
    BOOL answer = standIn != nullptr ? standIn(message, data) : state.real(message, data);
    if (observer != nullptr)
        observer(call, data);
    return answer;
}

} // namespace

double CounterMs()
{
    LARGE_INTEGER frequency, now;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&now);
    return now.QuadPart * 1000.0 / frequency.QuadPart;
}

int LampOfPixels(const std::vector<RGBQUAD>& pixels, int least)
{
    const struct {
        int icon;
        BYTE r, g, b;
    } lamps[] = {
        { ICON_STOPPED, 128, 0, 128 }, { ICON_IDLE, 0, 0, 255 }, { ICON_YELLOW, 255, 255, 0 }, { ICON_RED, 255, 0, 0 },
    };
    int counts[4] = { 0, 0, 0, 0 };
    for (const RGBQUAD& pixel : pixels)
        for (int i = 0; i < 4; ++i)
            counts[i] += pixel.rgbRed == lamps[i].r && pixel.rgbGreen == lamps[i].g && pixel.rgbBlue == lamps[i].b;
    int best = 0;
    for (int i = 1; i < 4; ++i)
        if (counts[i] > counts[best])
            best = i;
    return counts[best] >= least ? lamps[best].icon : 0;
}

// The icon's colour pixels (empty for none) and its width.
std::vector<RGBQUAD> IconPixels(HICON icon, int* width)
{
    ICONINFO info;
    *width = 0;
    if (icon == nullptr || !GetIconInfo(icon, &info))
        return {};
    BITMAP bitmap = {};
    std::vector<RGBQUAD> pixels;
    if (info.hbmColor != nullptr && GetObjectA(info.hbmColor, sizeof bitmap, &bitmap) != 0) {
        BITMAPINFO format = {};
        format.bmiHeader = { sizeof format.bmiHeader, bitmap.bmWidth, bitmap.bmHeight, 1, 32, BI_RGB, 0, 0, 0, 0, 0 };
        pixels.resize(static_cast<size_t>(bitmap.bmWidth) * bitmap.bmHeight);
        HDC screen = GetDC(nullptr);
        if (GetDIBits(screen, info.hbmColor, 0, bitmap.bmHeight, pixels.data(), &format, DIB_RGB_COLORS) == 0)
            pixels.clear();
        ReleaseDC(nullptr, screen);
        DeleteObject(info.hbmColor);
        *width = bitmap.bmWidth;
    }
    DeleteObject(info.hbmMask);
    return pixels;
}

int LampShown(HICON icon)
{
    int width;
    return LampOfPixels(IconPixels(icon, &width), 4);
}

int ImageShown(HICON icon)
{
    int width;
    std::vector<RGBQUAD> pixels = IconPixels(icon, &width);
    for (int id = ICON_STOPPED; id <= ICON_HC_LIGHT_RECV && !pixels.empty(); ++id) {
        HICON candidate = static_cast<HICON>(LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id),
                                                        IMAGE_ICON, width, width, 0));
        int candidateWidth;
        std::vector<RGBQUAD> other = candidate != nullptr ? IconPixels(candidate, &candidateWidth) : std::vector<RGBQUAD>();
        bool same = other.size() == pixels.size()
                 && std::memcmp(other.data(), pixels.data(), pixels.size() * sizeof pixels[0]) == 0;
        if (candidate != nullptr)
            DestroyIcon(candidate);
        if (same)
            return id;
    }
    return 0;
}

namespace notify {

bool Record(Shell standIn, Observer observer, bool keep)
{
    State& state = Recorder();
    if (state.real == nullptr)
        state.real = reinterpret_cast<Shell>(PatchImport("Shell_NotifyIconA", reinterpret_cast<void*>(RecordingShell)));
    EnterCriticalSection(&state.lock);
    state.calls.clear();
    state.standIn = standIn;
    state.observer = observer;
    state.keep = keep;
    LeaveCriticalSection(&state.lock);
    return state.real != nullptr;
}

BOOL WINAPI RealShell(DWORD message, PNOTIFYICONDATAA data)
{
    Shell real = Recorder().real;
    return real != nullptr ? real(message, data) : Shell_NotifyIconA(message, data);
}

std::vector<NotifyCall> Calls()
{
    State& state = Recorder();
    EnterCriticalSection(&state.lock);
    std::vector<NotifyCall> calls = state.calls;
    LeaveCriticalSection(&state.lock);
    return calls;
}

void Clear()
{
    State& state = Recorder();
    EnterCriticalSection(&state.lock);
    state.calls.clear();
    LeaveCriticalSection(&state.lock);
}

std::vector<DWORD> Messages()
{
    std::vector<DWORD> messages;
    for (const NotifyCall& call : Calls())
        messages.push_back(call.message);
    return messages;
}

} // namespace notify
