// Every call the program makes to Shell_NotifyIconA, seen where it leaves
// the program (its import of the function) and passed on to the shell, or to
// a stand-in shell a test gives. One recorder for the Wine tests and for the
// fake capture library, which watches NetGlow.exe from inside it.
#pragma once
#include <windows.h>
#include <shellapi.h>
#include <vector>

struct NotifyCall {
    DWORD message;
    NOTIFYICONDATAA record; // as handed over, up to its cbSize; the rest zero
    double atMs; // the performance counter, which all processes share
    int lamp;    // LampShown(record.hIcon) when the record carries an image, else 0
};

// Which lamp an icon shows, told by the colour most of its body has, as a
// person tells them apart: ICON_STOPPED (purple), ICON_IDLE (blue),
// ICON_YELLOW, ICON_RED; 0 for none of them.
int LampShown(HICON icon);
// Which of the test program's lamp resources (ICON_STOPPED to
// ICON_HC_LIGHT_RECV) has exactly the icon's pixels at its size; 0 for none.
int ImageShown(HICON icon);
// The same for pixels (of the screen, say): 0 when fewer than `least` have
// a lamp's body colour.
int LampOfPixels(const std::vector<RGBQUAD>& pixels, int least);

// Milliseconds of the performance counter.
double CounterMs();

namespace notify {

// What answers a call in place of the shell: null passes it on.
using Shell = BOOL(WINAPI*)(DWORD message, PNOTIFYICONDATAA data);
// Told of each call once the shell has answered it, before the program has
// the answer: a program waiting for the shell handles messages sent to it
// meanwhile, so what it was told counts as done only then. On the calling
// thread, with no lock held (it may call the tray code again).
using Observer = void (*)(const NotifyCall& call, PNOTIFYICONDATAA data);

// Puts the recorder between the main module and the shell (once per
// process), forgets what it recorded and sets who answers and who is told.
// False when the main module does not import Shell_NotifyIconA.
bool Record(Shell standIn = nullptr, Observer observer = nullptr, bool keep = true);
// The real Shell_NotifyIconA, for a test's own calls past the recorder.
BOOL WINAPI RealShell(DWORD message, PNOTIFYICONDATAA data);

// What was recorded so far (keep: true), in order.
std::vector<NotifyCall> Calls();
void Clear();
// The messages alone, in order.
std::vector<DWORD> Messages();

} // namespace notify
