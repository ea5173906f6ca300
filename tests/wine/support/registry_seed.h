// The registry as a test needs it, under HKEY_LOCAL_MACHINE: for the Wine
// tests and the end-to-end runs.
#pragma once
#include <windows.h>
#include <string>
#include <vector>

// Registry under HKEY_LOCAL_MACHINE. Keys created here are removed by
// RemoveTree(); "SYSTEM\Select" is saved first and put back.
bool SeedKey(const std::string& path);
bool SeedString(const std::string& keyPath, const char* valueName, const std::string& value);
bool SeedDword(const std::string& keyPath, const char* valueName, DWORD value);
// A GUID subkey with its Connection key holding Name.
bool SeedConnection(const std::string& classKeyPath, const std::string& guid, const std::string& name);
void SaveSelectKey();
void RestoreSelectKey();
void RemoveTree(const std::string& path);

// A value set (data null: deleted) for the life of the object, then put
// back as it was, or deleted when there was none.
class TemporaryValue {
public:
    TemporaryValue(HKEY root, const char* keyPath, const char* name, DWORD type, const void* data, DWORD size);
    ~TemporaryValue();
    TemporaryValue(const TemporaryValue&) = delete;
    TemporaryValue& operator=(const TemporaryValue&) = delete;

private:
    HKEY key_ = nullptr;
    std::string name_;
    DWORD type_ = 0;
    std::vector<BYTE> before_;
    bool had_ = false;
};

// The registry as Windows keeps it for the given adapters: SYSTEM\Select
// "Current" 1 and each GUID's "Connection" "Name" under ControlSet001, whose
// network key holds nothing else.
struct SeededAdapter {
    std::string guid; // "{...}"
    std::string connectionName;
};
void SeedRegistry(const std::vector<SeededAdapter>& adapters);
