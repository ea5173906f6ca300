#pragma once

int LoadTrayWaitSettings();
int LoadSettings();
int SaveSettings();
// The user chose "Arrows in the lamp" or not: kept at once.
int SaveLampShapes();
