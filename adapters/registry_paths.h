// Registry key paths of the connection-name lookup, bounded to 998 characters.
#pragma once
#include <cstddef>
#include <cstdint>

enum {
    REGISTRY_PATH_SIZE = 1000,
    REGISTRY_PATH_MAX = 998
};

// "001" from the first 32-bit word of the "Current" value (little-endian);
// only its lowest 8 bits count. out holds at least 4 bytes.
void FormatControlSet(const unsigned char* currentValue, char* out);

// Writes first + second + third into out (REGISTRY_PATH_SIZE bytes); false,
// with out empty, when the path would exceed REGISTRY_PATH_MAX characters.
bool JoinRegistryPath(char* out, const char* first, const char* second, const char* third);

// "SYSTEM\ControlSet" + controlSet + "\Control\Network".
bool FormNetworkKeyPath(char* out, const char* controlSet);
// networkKey + "\" + className.
bool FormClassKeyPath(char* out, const char* networkKey, const char* className);
// classKey + "\" + guid + "\Connection".
bool FormConnectionKeyPath(char* out, const char* classKey, const char* guid);
