#include "monitor/programs_win.h"
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <vector>
#include <shellapi.h>
#include "adapters/system_library_win.h"
#include "monitor/lamp_win.h"

namespace {

const size_t NAME_SIZE = 260;

// Written by the capture thread, read by the GUI thread (see PortTraffic).
PortTraffic portTraffic;

// GUI thread only.
PortReader reader;
ProgramList programs;
uint64_t lastLookMs = 0;
wchar_t names[PROGRAM_MAX][NAME_SIZE];
HICON icons[PROGRAM_MAX];
uint32_t serials[PROGRAM_MAX];
uint32_t nextSerial = 1;
std::vector<unsigned char> table;
std::vector<OwnerRow> rows;

// Optional entries, bound once: kernel32's from Vista on, version.dll's
// loaded from the system folder.
using QueryImageNameFn = BOOL WINAPI(HANDLE, DWORD, LPWSTR, PDWORD);
using VersionSizeFn = DWORD WINAPI(LPCWSTR, LPDWORD);
using VersionInfoFn = BOOL WINAPI(LPCWSTR, DWORD, DWORD, LPVOID);
using VersionValueFn = BOOL WINAPI(LPCVOID, LPCWSTR, LPVOID*, PUINT);

struct ProcessFunctions {
    QueryImageNameFn* queryImageName;
    VersionSizeFn* versionSize;
    VersionInfoFn* versionInfo;
    VersionValueFn* versionValue;
};

const ProcessFunctions& Functions()
{
    static const ProcessFunctions functions = [] {
        HMODULE version = LoadSystemLibrary("version.dll");
        return ProcessFunctions{
            BindEntry<QueryImageNameFn>(GetModuleHandleA("kernel32.dll"), "QueryFullProcessImageNameW"),
            BindEntry<VersionSizeFn>(version, "GetFileVersionInfoSizeW"),
            BindEntry<VersionInfoFn>(version, "GetFileVersionInfoW"),
            BindEntry<VersionValueFn>(version, "VerQueryValueW"),
        };
    }();
    return functions;
}

uint64_t FileTimeValue(const FILETIME& time)
{
    return static_cast<uint64_t>(time.dwHighDateTime) << 32 | time.dwLowDateTime;
}

// A process is its id and its creation time; one that cannot be opened
// keeps its id alone.
ProcessKey KeyOfProcess(void*, uint32_t pid)
{
    ProcessKey key = { pid, 0 };
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (process == nullptr)
        return key;
    FILETIME created, exited, kernel, user;
    if (GetProcessTimes(process, &created, &exited, &kernel, &user))
        key.created = FileTimeValue(created);
    CloseHandle(process);
    return key;
}

// The file's version-information "FileDescription" in its first language.
bool FileDescription(const wchar_t* path, wchar_t* out, size_t size)
{
    const ProcessFunctions& f = Functions();
    if (f.versionSize == nullptr || f.versionInfo == nullptr || f.versionValue == nullptr)
        return false;
    DWORD ignored = 0;
    DWORD length = f.versionSize(path, &ignored);
    if (length == 0)
        return false;
    std::vector<unsigned char> data(length);
    if (!f.versionInfo(path, 0, length, data.data()))
        return false;
    WORD* translation = nullptr;
    UINT translationLength = 0;
    if (!f.versionValue(data.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation),
                        &translationLength)
        || translationLength < 2 * sizeof(WORD))
        return false;
    wchar_t key[64];
    std::swprintf(key, 64, L"\\StringFileInfo\\%04x%04x\\FileDescription", translation[0], translation[1]);
    wchar_t* text = nullptr;
    UINT textLength = 0;
    if (!f.versionValue(data.data(), key, reinterpret_cast<void**>(&text), &textLength) || text == nullptr
        || text[0] == L'\0')
        return false;
    lstrcpynW(out, text, static_cast<int>(size));
    return true;
}

void NameProgram(int index)
{
    if (icons[index] != nullptr)
        DestroyIcon(icons[index]);
    icons[index] = nullptr;
    serials[index] = nextSerial++;
    uint32_t pid = programs.KeyOf(index).pid;
    wchar_t* name = names[index];
    if (pid == PID_SYSTEM) {
        lstrcpynW(name, L"System", NAME_SIZE);
        return;
    }
    std::swprintf(name, NAME_SIZE, L"Process %u", pid);
    const ProcessFunctions& f = Functions();
    HANDLE process = f.queryImageName != nullptr ? OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid)
                                                 : nullptr;
    if (process == nullptr)
        return;
    wchar_t path[MAX_PATH * 2];
    DWORD length = MAX_PATH * 2;
    bool named = f.queryImageName(process, 0, path, &length) != FALSE;
    CloseHandle(process);
    if (!named)
        return;
    if (!FileDescription(path, name, NAME_SIZE)) {
        const wchar_t* file = path;
        for (const wchar_t* p = path; *p != L'\0'; ++p)
            if (*p == L'\\' || *p == L'/')
                file = p + 1;
        lstrcpynW(name, file, NAME_SIZE);
    }
    ExtractIconExW(path, 0, nullptr, &icons[index], 1);
}

// Each table's row as an owner row: IPv4 addresses mapped as the IPv6
// tables give them, a UDP row without peer.
OwnerRow RowOf(const MIB_TCPROW_OWNER_PID& r)
{
    OwnerRow row = { PORT_TCP, {}, ntohs(static_cast<u_short>(r.dwLocalPort)), {},
                     ntohs(static_cast<u_short>(r.dwRemotePort)), r.dwOwningPid };
    MapIpv4(reinterpret_cast<const unsigned char*>(&r.dwLocalAddr), row.local);
    MapIpv4(reinterpret_cast<const unsigned char*>(&r.dwRemoteAddr), row.remote);
    return row;
}

OwnerRow RowOf(const MIB_TCP6ROW_OWNER_PID& r)
{
    OwnerRow row = { PORT_TCP, {}, ntohs(static_cast<u_short>(r.dwLocalPort)), {},
                     ntohs(static_cast<u_short>(r.dwRemotePort)), r.dwOwningPid };
    std::memcpy(row.local, r.ucLocalAddr, 16);
    std::memcpy(row.remote, r.ucRemoteAddr, 16);
    return row;
}

OwnerRow RowOf(const MIB_UDPROW_OWNER_PID& r)
{
    OwnerRow row = { PORT_UDP, {}, ntohs(static_cast<u_short>(r.dwLocalPort)), {}, 0, r.dwOwningPid };
    MapIpv4(reinterpret_cast<const unsigned char*>(&r.dwLocalAddr), row.local);
    return row;
}

OwnerRow RowOf(const MIB_UDP6ROW_OWNER_PID& r)
{
    OwnerRow row = { PORT_UDP, {}, ntohs(static_cast<u_short>(r.dwLocalPort)), {}, 0, r.dwOwningPid };
    std::memcpy(row.local, r.ucLocalAddr, 16);
    return row;
}

// One table's rows appended; a table that cannot be read adds nothing: its
// ports count as other traffic.
template <typename Table>
void AddOwnerRows(bool tcp, ULONG family)
{
    if (!QuerySocketOwners(tcp, family, &table))
        return;
    const Table* answer = reinterpret_cast<const Table*>(table.data());
    for (DWORD i = 0; i < answer->dwNumEntries; ++i)
        rows.push_back(RowOf(answer->table[i]));
}

// The four owner tables as rows: IPv4 before IPv6, TCP before UDP.
void ReadOwnerTables()
{
    rows.clear();
    AddOwnerRows<MIB_TCPTABLE_OWNER_PID>(true, AF_INET);
    AddOwnerRows<MIB_TCP6TABLE_OWNER_PID>(true, AF_INET6);
    AddOwnerRows<MIB_UDPTABLE_OWNER_PID>(false, AF_INET);
    AddOwnerRows<MIB_UDP6TABLE_OWNER_PID>(false, AF_INET6);
}

} // namespace

PortTraffic* ProgramsPortTraffic()
{
    return &portTraffic;
}

void ProgramsBegin()
{
    reader.Clear(portTraffic, &programs);
    lastLookMs = 0;
    for (HICON& icon : icons) {
        if (icon != nullptr)
            DestroyIcon(icon);
        icon = nullptr;
    }
}

void ProgramsTick()
{
    reader.Tick(portTraffic, &programs);
    uint64_t now = LampClockMs();
    if (!OwnerLookDue(now, lastLookMs, reader.UnknownWithTraffic(), reader.TrafficSinceLook()))
        return;
    lastLookMs = now;
    ReadOwnerTables();
    std::vector<int> added;
    reader.Look(portTraffic, rows, ProcessLookup{ KeyOfProcess, nullptr }, &programs, &added);
    for (int index : added)
        NameProgram(index);
}

int ProgramsRows(HistorySpan span, ProgramRow* out)
{
    return programs.Rows(span, out);
}

const wchar_t* ProgramName(int index)
{
    return index >= 0 && index < PROGRAM_MAX ? names[index] : L"Other traffic";
}

HICON ProgramIcon(int index)
{
    return index >= 0 && index < PROGRAM_MAX ? icons[index] : nullptr;
}

uint32_t ProgramSerial(int index)
{
    if (index == PROGRAM_OTHER)
        return UINT32_MAX;
    return index >= 0 && index < PROGRAM_MAX ? serials[index] : 0;
}
