#pragma once

int LoadTrayWaitSettings();
int LoadSettings();
int SaveSettings();
