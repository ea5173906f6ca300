#pragma once
#include <cstddef>

void FindAdapterByName();
int EnumerateCaptureDevices();
int RunAddressScan();
int ReadCurrentControlSet(char* controlSet);  // at least 4 bytes
int ReadConnectionNames(const char* controlSet);
// Name and address from the IP Helper API for every device the report and
// the registry left without an address.
void FillMissingAddresses();
int BuildAdapterTable();
