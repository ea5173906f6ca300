#include "prefix_scaling.h"

std::string RunThisProgram(const char* argument)
{
    SECURITY_ATTRIBUTES inherit = { sizeof inherit, nullptr, TRUE };
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    // Large enough for all the child prints: it never waits for us to read.
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 65536))
        return "<no pipe>";
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    char module[MAX_PATH];
    GetModuleFileNameA(nullptr, module, sizeof module);
    std::string command = std::string("\"") + module + "\" " + argument;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
    PROCESS_INFORMATION process = {};
    BOOL started = CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                                  &process);
    CloseHandle(writeEnd);
    // Wine's helper processes, started on the child's behalf, may inherit the
    // pipe and keep it open: wait for the child, not for the pipe's end.
    std::string output = started ? "" : "<not started>";
    if (started) {
        if (WaitForSingleObject(process.hProcess, 30000) != WAIT_OBJECT_0)
            output = "<still running>";
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
    }
    char chunk[4096];
    DWORD available = 0, got = 0;
    while (PeekNamedPipe(readEnd, nullptr, 0, nullptr, &available, nullptr) && available > 0
           && ReadFile(readEnd, chunk, available < sizeof chunk ? available : sizeof chunk, &got, nullptr) && got > 0)
        output.append(chunk, got);
    CloseHandle(readEnd);
    while (!output.empty() && (output.back() == '\n' || output.back() == '\r'))
        output.pop_back();
    return output;
}
