// The compiled NetGlow.chm, read through the system's own CHM storage (the
// ITStorage object behind HTML Help): every topic is there, and context
// number 21000 leads to the Setup topic.
#include <gtest/gtest.h>
#include <objbase.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>
#include "support/test_files.h"

namespace {

const CLSID CLSID_ITStorage = { 0x5d02926a, 0x212e, 0x11d0, { 0x9d, 0xf9, 0x00, 0xa0, 0xc9, 0x22, 0xe6, 0xec } };
const IID IID_IITStorage = { 0x88cc31de, 0x27ab, 0x11d0, { 0x9d, 0xf9, 0x00, 0xa0, 0xc9, 0x22, 0xe6, 0xec } };

// IITStorage has no header here; StgOpenStorage is its eighth method (after
// IUnknown's three and four others), called through the table directly.
typedef HRESULT(STDMETHODCALLTYPE* StgOpenStorageFunction)(IUnknown*, const WCHAR*, IStorage*, DWORD, SNB, DWORD,
                                                             IStorage**);
const int STG_OPEN_STORAGE_SLOT = 7;

class HelpFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        CoInitialize(nullptr);
        std::string path = BuildPath("NetGlow.chm");
        ASSERT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(path.c_str())) << path;
        std::wstring wide(path.begin(), path.end());
        IUnknown* its = nullptr;
        ASSERT_EQ(S_OK, CoCreateInstance(CLSID_ITStorage, nullptr, CLSCTX_INPROC_SERVER, IID_IITStorage,
                                         reinterpret_cast<void**>(&its)));
        auto open = reinterpret_cast<StgOpenStorageFunction>((*reinterpret_cast<void***>(its))[STG_OPEN_STORAGE_SLOT]);
        HRESULT opened = open(its, wide.c_str(), nullptr, STGM_READ | STGM_SHARE_DENY_WRITE, nullptr, 0, &storage);
        its->Release();
        ASSERT_EQ(S_OK, opened);
    }
    void TearDown() override
    {
        if (storage)
            storage->Release();
        CoUninitialize();
    }
    bool Read(const wchar_t* name, std::string* bytes)
    {
        IStream* stream = nullptr;
        if (storage->OpenStream(name, nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0, &stream) != S_OK)
            return false;
        bytes->clear();
        char buffer[4096];
        ULONG got = 0;
        while (stream->Read(buffer, sizeof buffer, &got) == S_OK && got > 0)
            bytes->append(buffer, got);
        stream->Release();
        return true;
    }

    IStorage* storage = nullptr;
};

TEST_F(HelpFile, HoldsEveryTopic)
{
    // Each topic's title, and for some a passage it must hold word for word.
    const struct { const wchar_t* name; const char* title; const char* passage; } topics[] = {
        { L"index.htm", "<title>NetGlow</title>",
          "<p>NetGlow needs the packet-capture driver Npcap (npcap.com); its WinPcap API-compatible mode is not "
          "needed, as NetGlow looks in Npcap's own folder first." },
        { L"lamp.htm", "<title>The lamp and its colours</title>", nullptr },
        { L"menu.htm", "<title>The tray menu</title>", nullptr },
        { L"setup.htm", "<title>Setup</title>", nullptr },
        { L"log.htm", "<title>The connection log</title>", "Send Address=" },
        { L"troubleshooting.htm", "<title>Troubleshooting</title>",
          "<p>NetGlow reads packets through a packet-capture driver: install <b>Npcap</b> from npcap.com. Its "
          "option <i>Install Npcap in WinPcap API-compatible Mode</i> is not needed: NetGlow loads wpcap.dll from "
          "Npcap's own folder (System32\\Npcap) first, then from System32. WinPcap 4.1.3, no longer maintained, "
          "still serves on older versions of Windows.</p>" },
    };
    for (const auto& topic : topics) {
        std::string text;
        ASSERT_TRUE(Read(topic.name, &text));
        EXPECT_NE(std::string::npos, text.find(topic.title)) << topic.title;
        if (topic.passage) {
            EXPECT_NE(std::string::npos, text.find(topic.passage)) << topic.passage;
        }
    }
    std::string contents;
    ASSERT_TRUE(Read(L"NetGlow.hhc", &contents));
    for (const auto& topic : topics) {
        std::wstring name(topic.name);
        EXPECT_NE(std::string::npos, contents.find(std::string(name.begin(), name.end())));
    }
}

TEST_F(HelpFile, ContextNumber21000OpensTheSetupTopic)
{
    std::string ivb, strings;
    ASSERT_TRUE(Read(L"#IVB", &ivb));
    ASSERT_TRUE(Read(L"#STRINGS", &strings));
    ASSERT_GE(ivb.size(), 4u);
    DWORD length;
    memcpy(&length, ivb.data(), 4);
    ASSERT_LE(4 + length, ivb.size());
    std::vector<std::string> targets;
    for (DWORD at = 4; at + 8 <= 4 + length; at += 8) {
        DWORD context, offset;
        memcpy(&context, ivb.data() + at, 4);
        memcpy(&offset, ivb.data() + at + 4, 4);
        ASSERT_LT(offset, strings.size());
        if (context == 21000)
            targets.push_back(strings.c_str() + offset);
    }
    ASSERT_EQ(1u, targets.size());
    // The topic's own name inside the file, not a path of the build machine.
    EXPECT_EQ("/setup.htm", targets[0]);
    std::string topic;
    std::wstring name(targets[0].begin() + (targets[0][0] == '/' ? 1 : 0), targets[0].end());
    ASSERT_TRUE(Read(name.c_str(), &topic));
    EXPECT_NE(std::string::npos, topic.find("<title>Setup</title>"));
}

} // namespace
