// The Linux host under Wine, for end-to-end runs that need its tools
// (tcpdump): scripts run by /bin/sh, awaited through a status file, since
// Wine hands out no process handle for a Unix program.
#pragma once
#include <windows.h>
#include <string>

// The host's path of a Windows path, empty when Wine has none (a folder's
// path may come without its trailing slash).
std::string UnixPathOf(const std::string& windowsPath);

// Runs `script` with /bin/sh on the host and waits, bounded, for it to end.
// Returns its exit status, or -1 when it did not start or end in time.
// Programs it starts in the background live on after it.
int RunHostScript(const std::string& script, DWORD timeoutMs = 30000);
