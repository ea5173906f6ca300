#include "support/registry_seed.h"

namespace {

struct SavedValue {
    std::string name;
    DWORD type;
    std::vector<BYTE> data;
};
std::vector<SavedValue> savedSelect;
bool selectSaved = false;

} // namespace

bool SeedKey(const std::string& path)
{
    HKEY key;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

bool SeedString(const std::string& keyPath, const char* valueName, const std::string& value)
{
    return RegSetKeyValueA(HKEY_LOCAL_MACHINE, keyPath.c_str(), valueName, REG_SZ, value.c_str(),
                           static_cast<DWORD>(value.size() + 1)) == ERROR_SUCCESS;
}

bool SeedDword(const std::string& keyPath, const char* valueName, DWORD value)
{
    return RegSetKeyValueA(HKEY_LOCAL_MACHINE, keyPath.c_str(), valueName, REG_DWORD, &value, sizeof value)
        == ERROR_SUCCESS;
}

bool SeedConnection(const std::string& classKeyPath, const std::string& guid, const std::string& name)
{
    return SeedString(classKeyPath + "\\" + guid + "\\Connection", "Name", name);
}

void SaveSelectKey()
{
    if (selectSaved)
        return;
    savedSelect.clear();
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM\\Select", 0, KEY_READ, &key) == ERROR_SUCCESS) {
        for (DWORD index = 0;; ++index) {
            char name[256];
            DWORD nameSize = sizeof name;
            BYTE data[1024];
            DWORD dataSize = sizeof data;
            DWORD type = 0;
            if (RegEnumValueA(key, index, name, &nameSize, nullptr, &type, data, &dataSize) != ERROR_SUCCESS)
                break;
            savedSelect.push_back({ name, type, std::vector<BYTE>(data, data + dataSize) });
        }
        RegCloseKey(key);
    }
    selectSaved = true;
}

void RestoreSelectKey()
{
    if (!selectSaved)
        return;
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, "SYSTEM\\Select");
    HKEY key;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM\\Select", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) == ERROR_SUCCESS) {
        for (const SavedValue& value : savedSelect)
            RegSetValueExA(key, value.name.c_str(), 0, value.type, value.data.data(),
                           static_cast<DWORD>(value.data.size()));
        RegCloseKey(key);
    }
    selectSaved = false;
}

void RemoveTree(const std::string& path)
{
    if (path.empty())
        return;
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, path.c_str());
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, path.c_str());
}

TemporaryValue::TemporaryValue(HKEY root, const char* keyPath, const char* name, DWORD type, const void* data,
                               DWORD size)
    : name_(name)
{
    RegCreateKeyExA(root, keyPath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_, nullptr);
    DWORD length = 0;
    had_ = RegQueryValueExA(key_, name, nullptr, &type_, nullptr, &length) == ERROR_SUCCESS;
    before_.resize(length);
    had_ = had_ && RegQueryValueExA(key_, name, nullptr, &type_, before_.data(), &length) == ERROR_SUCCESS;
    if (data == nullptr)
        RegDeleteValueA(key_, name);
    else
        RegSetValueExA(key_, name, 0, type, static_cast<const BYTE*>(data), size);
}

TemporaryValue::~TemporaryValue()
{
    if (had_)
        RegSetValueExA(key_, name_.c_str(), 0, type_, before_.data(), static_cast<DWORD>(before_.size()));
    else
        RegDeleteValueA(key_, name_.c_str());
    RegCloseKey(key_);
}

void SeedRegistry(const std::vector<SeededAdapter>& adapters)
{
    SeedDword("SYSTEM\\Select", "Current", 1);
    // The wide form also removes keys whose names the ANSI calls cannot
    // express, which other tests leave to make a class key unreadable.
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"SYSTEM\\ControlSet001\\Control\\Network");
    const std::string classKey = "SYSTEM\\ControlSet001\\Control\\Network\\{4D36E972-E325-11CE-BFC1-08002BE10318}";
    SeedKey(classKey); // a network key even for an empty list
    for (const SeededAdapter& adapter : adapters)
        SeedConnection(classKey, adapter.guid, adapter.connectionName);
}
