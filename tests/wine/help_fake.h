// Puts the recording HtmlHelpA double in place of the registered hhctrl.ocx
// for the life of the object, and reads what it recorded. The program binds
// the library once per process, so install this before the first help call.
#pragma once
#include <windows.h>
#include <gtest/gtest.h>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>
#include "support/test_files.h"

struct HelpCall {
    HWND caller;
    std::string file;
    UINT command;
    DWORD_PTR data;
    DWORD tick;
};

class FakeHtmlHelp {
public:
    FakeHtmlHelp()
    {
        path_ = BuildPath("docs/help/fake_hhctrl.dll");
        HKEY key;
        if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, KEY_PATH, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            &key, nullptr) != ERROR_SUCCESS)
            return;
        DWORD size = sizeof saved_;
        hadValue_ = RegQueryValueExA(key, nullptr, nullptr, &savedType_, saved_, &size) == ERROR_SUCCESS;
        savedSize_ = size;
        installed_ = RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(path_.c_str()),
                                    static_cast<DWORD>(path_.size() + 1)) == ERROR_SUCCESS;
        RegCloseKey(key);
    }
    ~FakeHtmlHelp()
    {
        HKEY key;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, KEY_PATH, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
            return;
        if (hadValue_)
            RegSetValueExA(key, nullptr, 0, savedType_, saved_, savedSize_);
        else
            RegDeleteValueA(key, nullptr);
        RegCloseKey(key);
    }
    bool Installed() const { return installed_ && GetFileAttributesA(path_.c_str()) != INVALID_FILE_ATTRIBUTES; }
    // Empty until the program has loaded the double.
    std::vector<HelpCall> Calls() const
    {
        std::vector<HelpCall> calls;
        HMODULE module = GetModuleHandleA(path_.c_str());
        if (module == nullptr)
            return calls;
        auto count = reinterpret_cast<int (*)()>(GetProcAddress(module, "FakeHtmlHelpCount"));
        auto get = reinterpret_cast<void (*)(int, HWND*, const char**, UINT*, DWORD_PTR*, DWORD*)>(
            GetProcAddress(module, "FakeHtmlHelpCall"));
        for (int i = 0; count && get && i < count(); ++i) {
            HelpCall call;
            const char* file = nullptr;
            get(i, &call.caller, &file, &call.command, &call.data, &call.tick);
            call.file = file;
            calls.push_back(call);
        }
        return calls;
    }
    void Reset() const
    {
        HMODULE module = GetModuleHandleA(path_.c_str());
        if (module == nullptr)
            return;
        auto reset = reinterpret_cast<void (*)()>(GetProcAddress(module, "FakeHtmlHelpReset"));
        if (reset)
            reset();
    }

private:
    static constexpr const char* KEY_PATH =
        "Software\\Classes\\CLSID\\{ADB880A6-D8FF-11CF-9377-00AA003B7A11}\\InprocServer32";
    std::string path_;
    bool installed_ = false;
    bool hadValue_ = false;
    DWORD savedType_ = REG_SZ;
    DWORD savedSize_ = 0;
    BYTE saved_[1024] = {};
};

// The double of the running test program, set by RunTestsWithFakeHelp.
inline FakeHtmlHelp* help = nullptr;

// main() of a test program whose help calls must reach the double.
inline int RunTestsWithFakeHelp(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    FakeHtmlHelp fake;
    if (!fake.Installed()) {
        std::fprintf(stderr, "the HtmlHelpA double is not in place\n");
        return 1;
    }
    help = &fake;
    return RUN_ALL_TESTS();
}
