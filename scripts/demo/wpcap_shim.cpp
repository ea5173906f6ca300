// Demo and test environment only; NetGlow knows nothing of it. Installed
// where Npcap would be, it forwards to Wine's own wpcap.dll and gives it the
// behaviour of Npcap's:
//  - Wine's reads never return on a read time-out (they wait for the count
//    of frames they were asked for, or a break), so a reader thread of each
//    capture takes Wine's frames one at a time into a bounded queue, and
//    pcap_dispatch hands over what has arrived once the time-out passes;
//  - frames reach the queue at once (Wine's handle gets a 1 ms kernel block
//    time-out), and pcap_dispatch waits for the minimum to copy that
//    pcap_setmintocopy sets, Npcap's 16000 bytes until it is called;
//  - pcap_setmintocopy is answered here: Wine's stub aborts the process;
//  - pcap_lookupnet is answered here: Wine's fails for every device;
//  - no pcap_create: Wine has no pcap_set_immediate_mode to go with it.
// Where NETGLOW_DEMO_OPEN_RECORD names a file, every device opened is added
// to it as a line, for the tests that count a program's opens.
#include <winsock2.h>
#include <windows.h>
#include <pcap/pcap.h>
#include <cstring>

namespace {

struct WineLibrary {
    int (*findalldevs)(pcap_if_t**, char*);
    void (*freealldevs)(pcap_if_t*);
    pcap_t* (*open_live)(const char*, int, int, int, char*);
    int (*dispatch)(pcap_t*, int, pcap_handler, u_char*);
    void (*breakloop)(pcap_t*);
    void (*close)(pcap_t*);
    int (*datalink)(pcap_t*);  // optional
};

WineLibrary wine;
bool wineLoaded = false;
INIT_ONCE loadOnce = INIT_ONCE_STATIC_INIT;

template <typename F>
bool Bind(HMODULE module, const char* name, F*& slot)
{
    slot = reinterpret_cast<F*>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    return slot != nullptr;
}

BOOL CALLBACK LoadWine(PINIT_ONCE, PVOID, PVOID*)
{
    char path[MAX_PATH];
    UINT length = GetSystemDirectoryA(path, MAX_PATH);
    if (length == 0 || length + sizeof "\\wpcap.dll" > MAX_PATH)
        return TRUE;
    lstrcpyA(path + length, "\\wpcap.dll");
    HMODULE module = LoadLibraryA(path);
    wineLoaded = module != nullptr && Bind(module, "pcap_findalldevs", wine.findalldevs)
        && Bind(module, "pcap_freealldevs", wine.freealldevs)
        && Bind(module, "pcap_open_live", wine.open_live) && Bind(module, "pcap_dispatch", wine.dispatch)
        && Bind(module, "pcap_breakloop", wine.breakloop) && Bind(module, "pcap_close", wine.close);
    if (wineLoaded)
        Bind(module, "pcap_datalink", wine.datalink);
    return TRUE;
}

const WineLibrary* Wine()
{
    InitOnceExecuteOnce(&loadOnce, LoadWine, nullptr, nullptr);
    return wineLoaded ? &wine : nullptr;
}

void SetError(char* error, const char* text)
{
    if (error != nullptr)
        lstrcpynA(error, text, PCAP_ERRBUF_SIZE);
}

// Wine's kernel block time-out: a frame is handed over within about 1 ms,
// and an idle adapter still wakes nobody (the kernel retires no empty block).
const int WINE_READ_TIMEOUT_MS = 1;
// Npcap's minimum to copy until pcap_setmintocopy changes it.
const size_t DEFAULT_MIN_TO_COPY = 16000;
const size_t MAX_SLOT_BYTES = 65536;
const size_t QUEUE_BYTES = 4 * 1024 * 1024;
const size_t MIN_SLOTS = 64;
// A read blocked in Wine returns at once on a break; the bound only guards
// against one that does not.
const DWORD READER_STOP_WAIT_MS = 5000;

struct Slot {
    pcap_pkthdr header;
    // slotBytes of frame follow
};

struct Capture {
    pcap_t* real;
    DWORD timeoutMs; // INFINITE for a read time-out of 0
    HANDLE reader;
    CRITICAL_SECTION lock;
    CONDITION_VARIABLE changed;
    // The queue: count slots from head on hold frames. The reader fills only
    // free slots; pcap_dispatch frees its slots after its callbacks.
    unsigned char* slots;
    size_t slotBytes;
    size_t slotCount;
    size_t head;
    size_t count;
    size_t queuedBytes;
    size_t minToCopy;
    unsigned long dropped;
    bool breakRequested;
    bool closing;
    bool failed;
};

Slot* SlotAt(Capture* capture, size_t index)
{
    size_t stride = sizeof(Slot) + capture->slotBytes;
    return reinterpret_cast<Slot*>(capture->slots + (index % capture->slotCount) * stride);
}

// Wine's callback on the reader thread: one frame into the queue, or
// dropped when the queue is full, as a driver buffer drops.
void Enqueue(u_char* user, const pcap_pkthdr* header, const u_char* bytes)
{
    Capture* capture = reinterpret_cast<Capture*>(user);
    if (header == nullptr || bytes == nullptr)
        return;
    EnterCriticalSection(&capture->lock);
    if (capture->count == capture->slotCount) {
        ++capture->dropped;
    } else {
        Slot* slot = SlotAt(capture, capture->head + capture->count);
        slot->header = *header;
        if (slot->header.caplen > capture->slotBytes)
            slot->header.caplen = static_cast<bpf_u_int32>(capture->slotBytes);
        std::memcpy(slot + 1, bytes, slot->header.caplen);
        ++capture->count;
        capture->queuedBytes += slot->header.caplen;
        WakeAllConditionVariable(&capture->changed);
    }
    LeaveCriticalSection(&capture->lock);
}

DWORD WINAPI ReadFrames(LPVOID param)
{
    Capture* capture = static_cast<Capture*>(param);
    for (;;) {
        // A count of 1: Wine's read returns as soon as a frame is there.
        int result = wine.dispatch(capture->real, 1, Enqueue, reinterpret_cast<u_char*>(capture));
        EnterCriticalSection(&capture->lock);
        bool done = capture->closing;
        if (!done && result < 0 && result != PCAP_ERROR_BREAK) {
            capture->failed = true;
            done = true;
            WakeAllConditionVariable(&capture->changed);
        }
        LeaveCriticalSection(&capture->lock);
        if (done)
            return 0;
    }
}

void FreeCapture(Capture* capture)
{
    DeleteCriticalSection(&capture->lock);
    delete[] capture->slots;
    delete capture;
}

Capture* From(pcap_t* handle) { return reinterpret_cast<Capture*>(handle); }

void RecordOpen(const char* device)
{
    char path[MAX_PATH];
    DWORD length = GetEnvironmentVariableA("NETGLOW_DEMO_OPEN_RECORD", path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return;
    // Appended whole by one write, so that a reader never sees half a line.
    HANDLE file = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    char line[512];
    size_t size = strnlen(device, sizeof line - 2);
    std::memcpy(line, device, size);
    std::memcpy(line + size, "\r\n", 2);
    DWORD written = 0;
    WriteFile(file, line, static_cast<DWORD>(size + 2), &written, nullptr);
    CloseHandle(file);
}

// Whether pcap_dispatch may hand over now, without waiting longer.
bool Ready(const Capture* capture)
{
    return capture->breakRequested || capture->failed
        || (capture->count > 0 && capture->queuedBytes >= capture->minToCopy);
}

} // namespace

extern "C" {

int pcap_findalldevs(pcap_if_t** list, char* error)
{
    const WineLibrary* real = Wine();
    if (real == nullptr) {
        SetError(error, "Wine's wpcap.dll is missing");
        return -1;
    }
    return real->findalldevs(list, error);
}

void pcap_freealldevs(pcap_if_t* list)
{
    if (const WineLibrary* real = Wine())
        real->freealldevs(list);
}

pcap_t* pcap_open_live(const char* device, int snaplen, int promisc, int timeout, char* error)
{
    const WineLibrary* real = Wine();
    if (real == nullptr) {
        SetError(error, "Wine's wpcap.dll is missing");
        return nullptr;
    }
    size_t slotBytes = snaplen > 0 && static_cast<size_t>(snaplen) < MAX_SLOT_BYTES
        ? static_cast<size_t>(snaplen) : MAX_SLOT_BYTES;
    size_t slotCount = QUEUE_BYTES / (sizeof(Slot) + slotBytes);
    if (slotCount < MIN_SLOTS)
        slotCount = MIN_SLOTS;
    Capture* capture = new Capture();
    capture->slots = new unsigned char[slotCount * (sizeof(Slot) + slotBytes)];
    capture->slotBytes = slotBytes;
    capture->slotCount = slotCount;
    capture->timeoutMs = timeout > 0 ? static_cast<DWORD>(timeout) : INFINITE;
    capture->minToCopy = DEFAULT_MIN_TO_COPY;
    InitializeCriticalSection(&capture->lock);
    InitializeConditionVariable(&capture->changed);
    capture->real = real->open_live(device, snaplen, promisc, WINE_READ_TIMEOUT_MS, error);
    if (capture->real == nullptr) {
        FreeCapture(capture);
        return nullptr;
    }
    capture->reader = CreateThread(nullptr, 0, ReadFrames, capture, 0, nullptr);
    if (capture->reader == nullptr) {
        real->close(capture->real);
        FreeCapture(capture);
        SetError(error, "no reader thread");
        return nullptr;
    }
    RecordOpen(device);
    return reinterpret_cast<pcap_t*>(capture);
}

// The device's link type as Wine's library reports it; Ethernet where it
// cannot say.
int pcap_datalink(pcap_t* handle)
{
    const WineLibrary* real = Wine();
    return real != nullptr && real->datalink != nullptr ? real->datalink(From(handle)->real) : DLT_EN10MB;
}

int pcap_setmintocopy(pcap_t* handle, int size)
{
    Capture* capture = From(handle);
    EnterCriticalSection(&capture->lock);
    capture->minToCopy = size > 0 ? static_cast<size_t>(size) : 0;
    WakeAllConditionVariable(&capture->changed);
    LeaveCriticalSection(&capture->lock);
    return 0;
}

int pcap_lookupnet(const char*, bpf_u_int32* network, bpf_u_int32* mask, char*)
{
    *network = 0;
    *mask = 0;
    return 0;
}

int pcap_dispatch(pcap_t* handle, int count, pcap_handler callback, u_char* user)
{
    Capture* capture = From(handle);
    EnterCriticalSection(&capture->lock);
    DWORD start = GetTickCount();
    while (!Ready(capture)) {
        DWORD wait = INFINITE;
        if (capture->timeoutMs != INFINITE) {
            DWORD passed = GetTickCount() - start;
            if (passed >= capture->timeoutMs)
                break;
            wait = capture->timeoutMs - passed;
        }
        SleepConditionVariableCS(&capture->changed, &capture->lock, wait);
    }
    if (capture->breakRequested) {
        capture->breakRequested = false;
        LeaveCriticalSection(&capture->lock);
        return PCAP_ERROR_BREAK;
    }
    if (capture->failed) {
        LeaveCriticalSection(&capture->lock);
        return PCAP_ERROR;
    }
    size_t taken = count > 0 && static_cast<size_t>(count) < capture->count
        ? static_cast<size_t>(count) : capture->count;
    size_t first = capture->head;
    LeaveCriticalSection(&capture->lock);

    // Outside the lock: the reader goes on filling the free slots meanwhile.
    size_t bytes = 0;
    for (size_t i = 0; i < taken; ++i) {
        Slot* slot = SlotAt(capture, first + i);
        bytes += slot->header.caplen;
        callback(user, &slot->header, reinterpret_cast<const u_char*>(slot + 1));
    }

    EnterCriticalSection(&capture->lock);
    capture->head = (capture->head + taken) % capture->slotCount;
    capture->count -= taken;
    capture->queuedBytes -= bytes;
    LeaveCriticalSection(&capture->lock);
    return static_cast<int>(taken);
}

void pcap_breakloop(pcap_t* handle)
{
    Capture* capture = From(handle);
    EnterCriticalSection(&capture->lock);
    capture->breakRequested = true;
    WakeAllConditionVariable(&capture->changed);
    LeaveCriticalSection(&capture->lock);
    wine.breakloop(capture->real);
}

void pcap_close(pcap_t* handle)
{
    Capture* capture = From(handle);
    EnterCriticalSection(&capture->lock);
    capture->closing = true;
    LeaveCriticalSection(&capture->lock);
    // Wine keeps a break asked before its read starts, so the reader ends
    // whether it is in a read or about to begin one.
    wine.breakloop(capture->real);
    if (WaitForSingleObject(capture->reader, READER_STOP_WAIT_MS) != WAIT_OBJECT_0)
        return; // left to the reader that never returned: closing under it would crash
    CloseHandle(capture->reader);
    wine.close(capture->real);
    FreeCapture(capture);
}

} // extern "C"
