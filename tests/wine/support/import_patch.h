// Replaces an imported function of the test program itself (its import
// address table), so that a test can watch what the code under test hands to
// the system, for instance every record sent to Shell_NotifyIconA.
#pragma once

// Points every import of `function` (by name, from any DLL) of the main module
// at `replacement`. Returns the previous target, or null when not imported.
void* PatchImport(const char* function, void* replacement);
