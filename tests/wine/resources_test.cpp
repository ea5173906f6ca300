// The compiled dialog templates, icons and version, read back as the system reads them.
#include <gtest/gtest.h>
#include <cstdlib>
#include <windows.h>
#include <initguid.h>
#include <xmllite.h>
#include <map>
#include <set>
#include <string>
#include <vector>
#include "res/resource.h"

namespace {

const WORD JAPANESE = MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT);

struct Control {
    DWORD style = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    int id = 0;
    WORD classAtom = 0;
    std::u16string text;
};

struct Dialog {
    DWORD style = 0;
    short cx = 0, cy = 0;
    std::u16string caption;
    WORD pointSize = 0;
    std::u16string font;
    std::vector<Control> controls;
};

class Reader {
public:
    explicit Reader(const BYTE* data) : p_(data), start_(data) {}
    WORD Word() { WORD v; memcpy(&v, p_, 2); p_ += 2; return v; }
    DWORD Dword() { DWORD v; memcpy(&v, p_, 4); p_ += 4; return v; }
    BYTE Byte() { return *p_++; }
    std::u16string String()
    {
        std::u16string s;
        for (WORD c = Word(); c != 0; c = Word())
            s.push_back(static_cast<char16_t>(c));
        return s;
    }
    // A name or an ordinal: an ordinal comes back as its number, a name as 0.
    WORD NameOrOrdinal(std::u16string* name)
    {
        WORD first = Word();
        if (first == 0xFFFF)
            return Word();
        if (first != 0) {
            name->push_back(static_cast<char16_t>(first));
            *name += String();
        }
        return 0;
    }
    void AlignDword() { while ((p_ - start_) % 4) ++p_; }
    void Skip(size_t n) { p_ += n; }

private:
    const BYTE* p_;
    const BYTE* start_;
};

bool ReadDialog(int id, Dialog* dialog)
{
    HMODULE module = GetModuleHandleA(nullptr);
    HRSRC found = FindResourceExA(module, MAKEINTRESOURCEA(5) /* RT_DIALOG */, MAKEINTRESOURCEA(id), JAPANESE);
    if (found == nullptr)
        return false;
    const BYTE* data = static_cast<const BYTE*>(LockResource(LoadResource(module, found)));
    Reader r(data);
    EXPECT_EQ(1, r.Word()) << "DIALOGEX version";
    EXPECT_EQ(0xFFFF, r.Word()) << "DIALOGEX signature";
    r.Dword();  // help id
    r.Dword();  // extended style
    dialog->style = r.Dword();
    WORD count = r.Word();
    r.Word(); r.Word();
    dialog->cx = static_cast<short>(r.Word());
    dialog->cy = static_cast<short>(r.Word());
    std::u16string ignored;
    EXPECT_EQ(0, r.NameOrOrdinal(&ignored)) << "no menu";
    EXPECT_TRUE(ignored.empty());
    EXPECT_EQ(0, r.NameOrOrdinal(&ignored)) << "standard dialog class";
    EXPECT_TRUE(ignored.empty());
    dialog->caption = r.String();
    if (dialog->style & DS_SETFONT) {
        dialog->pointSize = r.Word();
        r.Word(); r.Byte(); r.Byte();
        dialog->font = r.String();
    }
    for (WORD i = 0; i < count; ++i) {
        r.AlignDword();
        Control c;
        r.Dword();  // help id
        r.Dword();  // extended style
        c.style = r.Dword();
        c.x = static_cast<short>(r.Word());
        c.y = static_cast<short>(r.Word());
        c.cx = static_cast<short>(r.Word());
        c.cy = static_cast<short>(r.Word());
        c.id = static_cast<int>(r.Dword());
        std::u16string className;
        c.classAtom = r.NameOrOrdinal(&className);
        EXPECT_TRUE(className.empty()) << "control " << i << " uses a predefined class";
        std::u16string text;
        WORD ordinal = r.NameOrOrdinal(&text);
        EXPECT_EQ(0, ordinal) << "control " << i;
        c.text = text;
        r.Skip(r.Word());
        dialog->controls.push_back(c);
    }
    return true;
}

enum : WORD { BUTTON = 0x80, EDIT = 0x81, STATIC = 0x82, COMBOBOX = 0x85 };

struct Expected {
    int id;
    WORD classAtom;
    DWORD typeMask, type;   // style & typeMask must equal type
    DWORD with, without;    // flags that must be set, must be clear
    const char16_t* text;
    short x, y, cx, cy;
};

const DWORD BUTTON_TYPE = 0x0F;
const DWORD STATIC_TYPE = 0x1F;
const DWORD COMBO_TYPE = 0x03;

void ExpectControls(const Dialog& dialog, const std::vector<Expected>& expected)
{
    ASSERT_EQ(expected.size(), dialog.controls.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        const Control& c = dialog.controls[i];
        const Expected& e = expected[i];
        SCOPED_TRACE("tab position " + std::to_string(i + 1));
        EXPECT_EQ(e.id, static_cast<short>(c.id));
        EXPECT_EQ(e.classAtom, c.classAtom);
        EXPECT_EQ(e.type, c.style & e.typeMask);
        EXPECT_EQ(e.with | WS_CHILD | WS_VISIBLE, c.style & (e.with | WS_CHILD | WS_VISIBLE));
        EXPECT_EQ(0u, c.style & e.without);
        EXPECT_TRUE(std::u16string(e.text) == c.text);
        EXPECT_EQ(e.x, c.x);
        EXPECT_EQ(e.y, c.y);
        EXPECT_EQ(e.cx, c.cx);
        EXPECT_EQ(e.cy, c.cy);
    }
}

TEST(Resources, SetupDialogTemplate)
{
    Dialog d;
    ASSERT_TRUE(ReadDialog(IDD_SETUP, &d));
    EXPECT_TRUE(d.caption == u"Setup");
    EXPECT_TRUE(d.font == u"Arial");
    EXPECT_EQ(10, d.pointSize);
    EXPECT_EQ(254, d.cx);
    EXPECT_EQ(146, d.cy);
    const DWORD with = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | DS_CENTER;
    EXPECT_EQ(with, d.style & with);
    EXPECT_EQ(0u, d.style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_VISIBLE));

    const DWORD TAB = WS_TABSTOP, GROUP = WS_GROUP;
    ExpectControls(d, {
        { IDC_CARD_LIST, COMBOBOX, COMBO_TYPE, CBS_DROPDOWNLIST, WS_VSCROLL | TAB, CBS_SORT, u"", 10, 23, 214, 150 },
        { -1, STATIC, STATIC_TYPE, SS_LEFT, GROUP, TAB, u"Please choose a network card.", 9, 10, 120, 8 },
        { -1, BUTTON, BUTTON_TYPE, BS_GROUPBOX, GROUP, TAB, u"Recv", 103, 48, 77, 23 },
        { IDC_SEND_RED, BUTTON, BUTTON_TYPE, BS_AUTORADIOBUTTON, TAB, GROUP, u"Red", 23, 57, 23, 10 },
        { IDC_SEND_YELLOW, BUTTON, BUTTON_TYPE, BS_AUTORADIOBUTTON, TAB, GROUP, u"Yellow", 51, 57, 31, 10 },
        { -1, BUTTON, BUTTON_TYPE, BS_GROUPBOX, GROUP, TAB, u"Send", 13, 48, 77, 23 },
        { IDC_RECV_RED, BUTTON, BUTTON_TYPE, BS_AUTORADIOBUTTON, TAB, GROUP, u"Red", 109, 57, 23, 10 },
        { IDC_RECV_YELLOW, BUTTON, BUTTON_TYPE, BS_AUTORADIOBUTTON, TAB, GROUP, u"Yellow", 139, 57, 31, 10 },
        { IDC_START_OPT, BUTTON, BUTTON_TYPE, BS_AUTOCHECKBOX, TAB, 0,
          u"A monitor is started at the time of software starting.", 14, 81, 200, 10 },
        { IDC_NOW_OPT, BUTTON, BUTTON_TYPE, BS_AUTOCHECKBOX, TAB, 0,
          u"A monitor will be started if this screen is closed.", 14, 97, 180, 10 },
        { IDC_IPV4, BUTTON, BUTTON_TYPE, BS_AUTOCHECKBOX, TAB, 0, u"IPv4", 195, 97, 30, 10 },
        { IDC_IPV6, BUTTON, BUTTON_TYPE, BS_AUTOCHECKBOX, TAB, 0, u"IPv6", 225, 97, 30, 10 },
        { -1, STATIC, STATIC_TYPE, SS_LEFT, GROUP, TAB, u"Time to display", 15, 117, 60, 8 },
        { IDC_TIMEOUT, EDIT, ES_MULTILINE | ES_NUMBER, 0, WS_BORDER | ES_AUTOHSCROLL | TAB, 0, u"", 66, 114, 40, 14 },
        { -1, STATIC, STATIC_TYPE, SS_LEFT, GROUP, TAB, u"Milli second", 108, 117, 80, 8 },
        { IDC_SETUP_OK, BUTTON, BUTTON_TYPE, BS_PUSHBUTTON, TAB, 0, u"OK", 154, 116, 44, 16 },
        { IDC_SETUP_CANCEL, BUTTON, BUTTON_TYPE, BS_PUSHBUTTON, TAB, 0, u"Cancel", 204, 116, 44, 16 },
    });
}

TEST(Resources, AboutDialogTemplateHoldsTheFullWidthCharactersAsUtf16)
{
    Dialog d;
    ASSERT_TRUE(ReadDialog(IDD_ABOUT, &d));
    EXPECT_TRUE(d.caption == u"NetGlow");
    EXPECT_TRUE(d.font == u"Arial");
    EXPECT_EQ(10, d.pointSize);
    EXPECT_EQ(195, d.cx);
    EXPECT_EQ(92, d.cy);
    const DWORD with = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_CENTER;
    EXPECT_EQ(with, d.style & with);
    EXPECT_EQ(0u, d.style & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_VISIBLE));
    ASSERT_EQ(5u, d.controls.size());
    // Checked by code unit, so that a code-page slip in the build shows.
    const std::u16string title = u"NetGlow\u3000\uFF08WinPcap Edition\uFF09     Version " NETGLOW_VERSION;
    EXPECT_EQ(title.size(), d.controls[1].text.size());
    EXPECT_TRUE(title == d.controls[1].text);
    EXPECT_EQ(u'\u3000', d.controls[1].text[7]);
    EXPECT_EQ(u'\uFF08', d.controls[1].text[8]);
    EXPECT_EQ(u'\uFF09', d.controls[1].text[24]);
    ExpectControls(d, {
        { IDOK, BUTTON, BUTTON_TYPE, BS_DEFPUSHBUTTON, WS_TABSTOP, 0, u"OK", 79, 69, 36, 14 },
        { -1, STATIC, STATIC_TYPE, SS_LEFT, WS_GROUP, WS_TABSTOP, title.c_str(), 7, 7, 160, 8 },
        { -1, STATIC, STATIC_TYPE, SS_LEFT, WS_GROUP, WS_TABSTOP, u"Network activity lamp for one adapter.", 31, 23,
          160, 8 },
        { -1, STATIC, STATIC_TYPE, SS_LEFT, WS_GROUP, WS_TABSTOP, u"Settings and log are kept in:", 7, 39, 181, 8 },
        { IDC_DATA_FOLDER, STATIC, STATIC_TYPE, SS_LEFT, WS_GROUP | SS_PATHELLIPSIS | SS_NOPREFIX, WS_TABSTOP, u"",
          7, 50, 181, 8 },
    });
}

BOOL CALLBACK CollectLanguage(HMODULE, LPCSTR, LPCSTR, WORD language, LONG_PTR param)
{
    reinterpret_cast<std::set<WORD>*>(param)->insert(language);
    return TRUE;
}

BOOL CALLBACK CollectName(HMODULE, LPCSTR, LPSTR name, LONG_PTR param)
{
    if (IS_INTRESOURCE(name))
        reinterpret_cast<std::set<int>*>(param)->insert(static_cast<int>(reinterpret_cast<ULONG_PTR>(name)));
    else
        reinterpret_cast<std::set<int>*>(param)->insert(-1);
    return TRUE;
}

TEST(Resources, EveryDialogAndIconIsJapanese)
{
    HMODULE module = GetModuleHandleA(nullptr);
    std::set<int> dialogs, groups;
    EnumResourceNamesA(module, MAKEINTRESOURCEA(5) /* RT_DIALOG */, CollectName, reinterpret_cast<LONG_PTR>(&dialogs));
    EnumResourceNamesA(module, MAKEINTRESOURCEA(14) /* RT_GROUP_ICON */, CollectName, reinterpret_cast<LONG_PTR>(&groups));
    EXPECT_EQ((std::set<int>{ IDD_SETUP, IDD_ABOUT }), dialogs);
    std::set<int> icons = { ICON_APP };
    for (int id = ICON_STOPPED; id <= ICON_HC_LIGHT_RECV; ++id)
        icons.insert(id);
    EXPECT_EQ(icons, groups);
    EXPECT_EQ(29u, groups.size()) << "the program's icon and 28 lamps";

    std::set<int> images;
    EnumResourceNamesA(module, MAKEINTRESOURCEA(3) /* RT_ICON */, CollectName, reinterpret_cast<LONG_PTR>(&images));
    EXPECT_EQ(232u, images.size()) << "eight images per icon";

    struct { LPCSTR type; const std::set<int>* names; } kinds[] = {
        { MAKEINTRESOURCEA(5), &dialogs }, { MAKEINTRESOURCEA(14), &groups }, { MAKEINTRESOURCEA(3), &images },
    };
    for (auto& kind : kinds) {
        for (int name : *kind.names) {
            std::set<WORD> languages;
            EnumResourceLanguagesA(module, kind.type, MAKEINTRESOURCEA(name), CollectLanguage,
                                   reinterpret_cast<LONG_PTR>(&languages));
            EXPECT_EQ(std::set<WORD>{ 1041 }, languages)
                << "type " << reinterpret_cast<ULONG_PTR>(kind.type) << " name " << name;
        }
    }
}

// What Explorer's Details tab shows of the built program, read the way it
// reads it: the numbers and the English (United States) strings that the
// translation names.
TEST(Resources, ProgramCarriesTheVersionOfTheBuild)
{
    const char* build = std::getenv("NETGLOW_BUILD_DIR");
    ASSERT_NE(nullptr, build);
    std::string path = std::string("Z:") + build + "/NetGlow.exe";
    for (char& c : path)
        if (c == '/')
            c = '\\';
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
    ASSERT_NE(0u, size) << path;
    std::vector<char> data(size);
    ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, size, data.data()));

    void* value = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(data.data(), "\\", &value, &length));
    const VS_FIXEDFILEINFO* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
    auto numbers = [](DWORD high, DWORD low) {
        char text[64];
        snprintf(text, sizeof text, "%u.%u.%u.%u", HIWORD(high), LOWORD(high), HIWORD(low), LOWORD(low));
        return std::string(text);
    };
    EXPECT_EQ(NETGLOW_VERSION ".0", numbers(fixed->dwFileVersionMS, fixed->dwFileVersionLS));
    EXPECT_EQ(NETGLOW_VERSION ".0", numbers(fixed->dwProductVersionMS, fixed->dwProductVersionLS));
    EXPECT_EQ(static_cast<DWORD>(VFT_APP), fixed->dwFileType);

    ASSERT_TRUE(VerQueryValueA(data.data(), "\\VarFileInfo\\Translation", &value, &length));
    ASSERT_EQ(4u, length);
    EXPECT_EQ(0x0409, static_cast<const WORD*>(value)[0]);
    EXPECT_EQ(1200, static_cast<const WORD*>(value)[1]);

    const struct { const char* name; const char* text; } strings[] = {
        { "FileDescription", "NetGlow network activity lamp" }, { "FileVersion", NETGLOW_VERSION },
        { "ProductName", "NetGlow" }, { "ProductVersion", NETGLOW_VERSION }, { "OriginalFilename", "NetGlow.exe" },
    };
    for (const auto& string : strings) {
        std::string query = std::string("\\StringFileInfo\\040904B0\\") + string.name;
        value = nullptr;
        EXPECT_TRUE(VerQueryValueA(data.data(), query.c_str(), &value, &length)) << string.name;
        EXPECT_STREQ(string.text, value != nullptr ? static_cast<const char*>(value) : "") << string.name;
    }
}

// Every image of every lamp: 32-bit at the small-icon and icon sizes of 100
// to 300 % scaling, and the 16-colour 16 and 32 px images for classic displays.
TEST(Resources, EveryIconHoldsEverySize)
{
    HMODULE module = GetModuleHandleA(nullptr);
    for (int id : { ICON_APP, ICON_STOPPED, ICON_IDLE, ICON_YELLOW, ICON_RED }) {
        SCOPED_TRACE(id);
        HRSRC found = FindResourceExA(module, MAKEINTRESOURCEA(14), MAKEINTRESOURCEA(id), JAPANESE);
        ASSERT_NE(nullptr, found);
        const BYTE* group = static_cast<const BYTE*>(LockResource(LoadResource(module, found)));
        WORD count;
        memcpy(&count, group + 4, 2);
        std::set<std::pair<int, int>> images;  // (size, bits per pixel)
        for (WORD i = 0; i < count; ++i) {
            const BYTE* entry = group + 6 + 14 * i;  // GRPICONDIRENTRY
            WORD bits;
            memcpy(&bits, entry + 6, 2);
            images.insert({ entry[0], bits });
        }
        EXPECT_EQ((std::set<std::pair<int, int>>{ { 16, 4 }, { 32, 4 }, { 16, 32 }, { 20, 32 }, { 24, 32 },
                                                  { 32, 32 }, { 40, 32 }, { 48, 32 } }),
                  images);
    }
}

struct XmlElement {
    std::wstring name;
    std::wstring ns; // its namespace: the system reads a setting only in its own
    std::map<std::wstring, std::wstring> attributes;
    std::wstring text;
};

// Reads XML through the system's own parser (XmlLite); false when it is not
// well-formed.
bool ParseXml(const BYTE* data, DWORD size, std::vector<XmlElement>* elements)
{
    typedef HRESULT(WINAPI * CreateReaderFn)(REFIID, void**, IMalloc*);
    typedef IStream*(WINAPI * MemStreamFn)(const BYTE*, UINT);
    auto createReader = reinterpret_cast<CreateReaderFn>(
        reinterpret_cast<void*>(GetProcAddress(LoadLibraryA("xmllite.dll"), "CreateXmlReader")));
    auto memStream = reinterpret_cast<MemStreamFn>(
        reinterpret_cast<void*>(GetProcAddress(LoadLibraryA("shlwapi.dll"), "SHCreateMemStream")));
    if (createReader == nullptr || memStream == nullptr)
        return false;
    IXmlReader* reader = nullptr;
    IStream* stream = memStream(data, size);
    if (stream == nullptr || FAILED(createReader(IID_IXmlReader, reinterpret_cast<void**>(&reader), nullptr)))
        return false;
    reader->SetProperty(XmlReaderProperty_DtdProcessing, DtdProcessing_Prohibit);
    reader->SetInput(stream);
    XmlNodeType type;
    HRESULT result;
    while ((result = reader->Read(&type)) == S_OK) {
        const WCHAR* text = nullptr;
        if (type == XmlNodeType_Element) {
            XmlElement element;
            reader->GetLocalName(&text, nullptr);
            element.name = text;
            reader->GetNamespaceUri(&text, nullptr);
            element.ns = text;
            for (HRESULT more = reader->MoveToFirstAttribute(); more == S_OK; more = reader->MoveToNextAttribute()) {
                const WCHAR* value = nullptr;
                reader->GetLocalName(&text, nullptr);
                reader->GetValue(&value, nullptr);
                element.attributes[text] = value;
            }
            elements->push_back(element);
        } else if (type == XmlNodeType_Text && !elements->empty()) {
            reader->GetValue(&text, nullptr);
            elements->back().text += text;
        }
    }
    reader->Release();
    stream->Release();
    return result == S_FALSE;
}

std::vector<const XmlElement*> Named(const std::vector<XmlElement>& elements, const wchar_t* name)
{
    std::vector<const XmlElement*> found;
    for (const auto& element : elements)
        if (element.name == name)
            found.push_back(&element);
    return found;
}

TEST(Resources, ManifestAsksForStylesScalingNoElevationAndNamesTheSystems)
{
    HMODULE module = GetModuleHandleA(nullptr);
    HRSRC found = FindResourceExA(module, MAKEINTRESOURCEA(24) /* RT_MANIFEST */, MAKEINTRESOURCEA(1),
                                  MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL));
    ASSERT_NE(nullptr, found);
    const BYTE* data = static_cast<const BYTE*>(LockResource(LoadResource(module, found)));
    std::vector<XmlElement> xml;
    ASSERT_TRUE(ParseXml(data, SizeofResource(module, found), &xml)) << "not well-formed";
    ASSERT_FALSE(xml.empty());
    EXPECT_TRUE(xml[0].name == L"assembly");

    auto identities = Named(xml, L"assemblyIdentity");
    ASSERT_EQ(1u, identities.size());
    EXPECT_TRUE(identities[0]->attributes.at(L"name") == L"Microsoft.Windows.Common-Controls");
    EXPECT_TRUE(identities[0]->attributes.at(L"version") == L"6.0.0.0");
    EXPECT_TRUE(identities[0]->attributes.at(L"publicKeyToken") == L"6595b64144ccf1df");

    auto dpiAwareness = Named(xml, L"dpiAwareness");
    auto dpiAware = Named(xml, L"dpiAware");
    ASSERT_EQ(1u, dpiAwareness.size());
    ASSERT_EQ(1u, dpiAware.size());
    EXPECT_TRUE(dpiAwareness[0]->text == L"PerMonitorV2");
    EXPECT_TRUE(dpiAware[0]->text == L"true") << "system awareness where PerMonitorV2 is unknown";
    EXPECT_TRUE(dpiAwareness[0]->ns == L"http://schemas.microsoft.com/SMI/2016/WindowsSettings");
    EXPECT_TRUE(dpiAware[0]->ns == L"http://schemas.microsoft.com/SMI/2005/WindowsSettings");

    auto level = Named(xml, L"requestedExecutionLevel");
    ASSERT_EQ(1u, level.size());
    EXPECT_TRUE(level[0]->attributes.at(L"level") == L"asInvoker");

    std::set<std::wstring> systems;
    for (const XmlElement* os : Named(xml, L"supportedOS"))
        systems.insert(os->attributes.at(L"Id"));
    EXPECT_EQ((std::set<std::wstring>{
                  L"{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",  // Windows 7
                  L"{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",  // Windows 8
                  L"{1f676c76-80e1-4239-95bb-83d0f6d0da78}",  // Windows 8.1
                  L"{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",  // Windows 10 and 11
              }),
              systems);
}

} // namespace
