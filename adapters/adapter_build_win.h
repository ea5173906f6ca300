#pragma once
#include <cstddef>

void FindAdapterByName();
int EnumerateCaptureDevices();
int RunAddressScan();
int ReadCurrentControlSet(char* controlSet);  // at least 4 bytes
int ReadConnectionNames(const char* controlSet);
int BuildAdapterTable();
