#include <winsock2.h>
#include <ws2tcpip.h>
#include "support/adapter_doubles.h"
#include <iphlpapi.h>
#include "core/app_state.h"
#include <cstdio>
#include <cstdlib>

namespace {

std::string ScratchRoot()
{
    static std::string root = MakeTempFolder("adapters");
    return root;
}

std::vector<DiscoveryEvent>* recording = nullptr;

LRESULT CALLBACK RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_COMMAND && recording != nullptr) {
        DiscoveryEvent event;
        event.command = wParam;
        event.messageBoxOpen = app.messageBoxOpen;
        recording->push_back(event);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}


} // namespace

std::string CallsPath()
{
    return ScratchRoot() + "wpcap-calls.txt";
}

void SetFakeCaptureDevices(const std::vector<std::string>& controlLines)
{
    std::string control = ScratchRoot() + "wpcap-control.txt";
    std::FILE* file = std::fopen(control.c_str(), "wb");
    for (const std::string& line : controlLines)
        std::fprintf(file, "%s\n", line.c_str());
    std::fprintf(file, "calls=%s\n", CallsPath().c_str());
    std::fclose(file);
    DeleteFileA(CallsPath().c_str());
    SetEnvironmentVariableA("NETGLOW_FAKE_WPCAP", control.c_str());
}

std::vector<std::string> ReadCalls()
{
    std::vector<std::string> calls;
    if (PathExists(CallsPath()))
        for (const std::string& line : Lines(ReadFileBytes(CallsPath())))
            calls.push_back(line.substr(0, line.find_last_not_of("\r\n") + 1));
    return calls;
}

void SetFakeIpconfigReport(const std::string& fixture)
{
    SetEnvironmentVariableA("NETGLOW_FAKE_IPCONFIG", fixture.empty() ? nullptr : fixture.c_str());
}

HWND CreateRecordingWindow()
{
    static bool registered = false;
    if (!registered) {
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = RecordingProc;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "NetGlowAdapterTestWindow";
        registered = RegisterClassA(&windowClass) != 0;
    }
    return CreateWindowA("NetGlowAdapterTestWindow", "adapter test", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100,
                         nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
}

std::vector<DiscoveryEvent> RunRecording(void (*fn)(void*), void* arg, DWORD timeoutMs)
{
    std::vector<DiscoveryEvent> events;
    recording = &events;
    HANDLE thread = StartCallThread(fn, arg);
    DWORD start = GetTickCount();
    while (WaitForSingleObject(thread, 0) == WAIT_TIMEOUT && GetTickCount() - start < timeoutMs) {
        DiscoveryEvent event;
        event.isBox = true;
        if (WaitForMessageBox(&event.box, 50)) {
            event.messageBoxOpen = app.messageBoxOpen;
            events.push_back(event);
            AnswerMessageBox(event.box, IDOK);
        }
    }
    if (WaitForSingleObject(thread, 10000) == WAIT_TIMEOUT) {
        // Shows up in every comparison of the events.
        DiscoveryEvent stuck;
        stuck.isBox = true;
        stuck.box.text = "(the operation did not return)";
        events.push_back(stuck);
    }
    CloseHandle(thread);
    recording = nullptr;
    return events;
}

std::vector<std::string> Describe(const std::vector<DiscoveryEvent>& events)
{
    std::vector<std::string> lines;
    for (const DiscoveryEvent& event : events) {
        std::string line;
        if (event.isBox) {
            switch (event.box.iconStyle) {
            case MB_ICONERROR: line = "error: "; break;
            case MB_ICONQUESTION: line = "question: "; break;
            case MB_ICONINFORMATION: line = "information: "; break;
            default: line = "no icon: "; break;
            }
            line += event.box.text;
            if (event.box.owner != app.mainWindow || event.box.window == nullptr)
                line += " (other owner)";
            if (event.messageBoxOpen != 1 && event.box.window != nullptr)
                line += " (messageBoxOpen 0)";
        } else {
            line = "command " + std::to_string(event.command);
            if (event.messageBoxOpen != 0)
                line += " while a box is open";
        }
        lines.push_back(line);
    }
    return lines;
}

std::string WriteCapture(const std::vector<unsigned>& lengths, unsigned originalLength)
{
    std::string path = MakeTempFolder("capture") + "frames.pcap";
    std::FILE* file = std::fopen(path.c_str(), "wb");
    const unsigned header[6] = { 0xa1b2c3d4u, 0x00040002u, 0, 0, 65535, 1 };
    std::fwrite(header, 4, 6, file);
    for (unsigned i = 0; i < lengths.size(); ++i) {
        const unsigned record[4] = { 1000 + i, 500 * i, lengths[i], originalLength ? originalLength : lengths[i] };
        std::fwrite(record, 4, 4, file);
        std::vector<unsigned char> bytes(lengths[i], static_cast<unsigned char>(i));
        std::fwrite(bytes.data(), 1, bytes.size(), file);
    }
    std::fclose(file);
    return path;
}

std::string WriteFrames(const std::vector<std::vector<unsigned char>>& frames, uint32_t seconds)
{
    std::string path = MakeTempFolder("capture") + "frames.pcap";
    std::FILE* file = std::fopen(path.c_str(), "wb");
    const unsigned header[6] = { 0xa1b2c3d4u, 0x00040002u, 0, 0, 65535, 1 };
    std::fwrite(header, 4, 6, file);
    for (const std::vector<unsigned char>& frame : frames) {
        const unsigned length = static_cast<unsigned>(frame.size());
        const unsigned record[4] = { seconds, 0, length, length };
        std::fwrite(record, 4, 4, file);
        std::fwrite(frame.data(), 1, frame.size(), file);
    }
    std::fclose(file);
    return path;
}

std::ostream& operator<<(std::ostream& out, const AdapterRow& row)
{
    return out << "{" << row.device << ", " << row.name << ", " << row.address << "}";
}

std::vector<AdapterRow> AdapterRows(size_t skip)
{
    std::vector<AdapterRow> rows;
    for (int i = 0; i < app.adapters.count; ++i)
        rows.push_back({ app.adapters.deviceName[i] + skip, app.adapters.connectionName[i], app.adapters.ipv4Address[i] });
    return rows;
}
