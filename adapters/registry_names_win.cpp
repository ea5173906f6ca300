#include "adapters/adapter_build_win.h"
#include "adapters/adapter_messages.h"
#include "adapters/adapter_rows.h"
#include "adapters/registry_paths.h"
#include "core/app_state.h"
#include "core/message_box_win.h"
#include <cstring>

namespace {

const size_t CURRENT_VALUE_SIZE = 999;
const DWORD NAME_OFFER = ADAPTER_TEXT_MAX; // of a 500-byte buffer

struct ClassList {
    int count;
    char name[ADAPTER_MAX][ADAPTER_TEXT_SIZE];
};

int Fail(const char* text, int result)
{
    ShowAppMessage(app.mainWindow, text, MB_ICONQUESTION);
    return result;
}

// Lists the class subkeys of the network key in enumeration order.
int ReadClassList(const char* networkKeyPath, ClassList* classes)
{
    HKEY networkKey;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, networkKeyPath, 0, KEY_READ, &networkKey) != ERROR_SUCCESS)
        return Fail(MSG_REGISTRY_NOT_OPENED, RESULT_NOT_FOUND);
    classes->count = 0;
    char name[ADAPTER_TEXT_SIZE];
    for (DWORD index = 0;; ++index) {
        LONG status = RegEnumKeyA(networkKey, index, name, NAME_OFFER);
        if (status == ERROR_MORE_DATA)
            continue; // a name too long for the buffer: no usable name at this index
        if (status != ERROR_SUCCESS)
            break; // the end, or a status (a deleted key, a refusal) that would repeat forever
        if (classes->count == ADAPTER_MAX) {
            RegCloseKey(networkKey);
            return Fail(MSG_TOO_MANY_CARDS, RESULT_LIMIT);
        }
        name[ADAPTER_TEXT_MAX] = '\0';
        std::memcpy(classes->name[classes->count++], name, ADAPTER_TEXT_SIZE);
    }
    RegCloseKey(networkKey);
    return RESULT_OK;
}

// The "Name" value of a connection key; false when the key or value is missing.
bool ReadConnectionName(const char* connectionKeyPath, char* name)
{
    HKEY connectionKey;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, connectionKeyPath, 0, KEY_READ, &connectionKey) != ERROR_SUCCESS)
        return false;
    std::memset(name, 0, ADAPTER_TEXT_SIZE);
    DWORD size = NAME_OFFER;
    LONG status = RegQueryValueExA(connectionKey, "Name", nullptr, nullptr,
                                   reinterpret_cast<BYTE*>(name), &size);
    RegCloseKey(connectionKey);
    return status == ERROR_SUCCESS;
}

void GiveNameAndAddress(int entry, const char* connectionName)
{
    int row = FindIpconfigRow(&app.ipconfig, connectionName);
    if (row < 0)
        return;
    std::memcpy(app.adapters.connectionName[entry], app.ipconfig.connectionName[row], ADAPTER_TEXT_SIZE);
    std::memcpy(app.adapters.ipv4Address[entry], app.ipconfig.ipv4Address[row], ADAPTER_TEXT_SIZE);
}

int ReadClass(const char* classKeyPath)
{
    HKEY classKey;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, classKeyPath, 0, KEY_READ, &classKey) != ERROR_SUCCESS) {
        if (app.registryWarned == 0) {
            ShowAppMessage(app.mainWindow, MSG_CARD_NOT_FOUND, MB_ICONERROR);
            app.registryWarned = 1;
        }
        return RESULT_NOT_FOUND;
    }
    char guid[ADAPTER_TEXT_SIZE];
    for (DWORD index = 0;; ++index) {
        LONG status = RegEnumKeyA(classKey, index, guid, NAME_OFFER);
        if (status == ERROR_MORE_DATA)
            continue;
        if (status != ERROR_SUCCESS)
            break;
        guid[ADAPTER_TEXT_MAX] = '\0';
        int entry = FindAdapterByGuid(&app.adapters, guid);
        if (entry < 0)
            continue;
        char connectionKeyPath[REGISTRY_PATH_SIZE];
        if (!FormConnectionKeyPath(connectionKeyPath, classKeyPath, guid)) {
            RegCloseKey(classKey);
            return Fail(MSG_REGISTRY_DATA, RESULT_LIMIT);
        }
        char connectionName[ADAPTER_TEXT_SIZE];
        if (ReadConnectionName(connectionKeyPath, connectionName))
            GiveNameAndAddress(entry, connectionName);
    }
    RegCloseKey(classKey);
    return RESULT_OK;
}

} // namespace

int ReadCurrentControlSet(char* controlSet)
{
    HKEY select;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM\\Select", 0, KEY_READ, &select) != ERROR_SUCCESS)
        return Fail(MSG_REGISTRY_NOT_OPENED, RESULT_NOT_FOUND);
    unsigned char value[CURRENT_VALUE_SIZE] = {};
    DWORD size = sizeof value;
    LONG status = RegQueryValueExA(select, "Current", nullptr, nullptr, value, &size);
    RegCloseKey(select);
    if (status != ERROR_SUCCESS)
        return Fail(MSG_REGISTRY_DATA, RESULT_NOT_FOUND);
    FormatControlSet(value, controlSet);
    return RESULT_OK;
}

int ReadConnectionNames(const char* controlSet)
{
    char networkKeyPath[REGISTRY_PATH_SIZE];
    if (!FormNetworkKeyPath(networkKeyPath, controlSet))
        return Fail(MSG_REGISTRY_DATA, RESULT_LIMIT);
    static ClassList classes; // 50 KB: kept off the GUI thread's stack
    int result = ReadClassList(networkKeyPath, &classes);
    if (result != RESULT_OK)
        return result;
    for (int i = 0; i < classes.count; ++i) {
        char classKeyPath[REGISTRY_PATH_SIZE];
        if (!FormClassKeyPath(classKeyPath, networkKeyPath, classes.name[i]))
            return Fail(MSG_REGISTRY_DATA, RESULT_LIMIT);
        result = ReadClass(classKeyPath);
        if (result != RESULT_OK)
            return result;
    }
    return RESULT_OK;
}
