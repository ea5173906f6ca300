// Entries of system DLLs that older systems lack, bound at run time so that
// the program still starts there.
#pragma once
#include <windows.h>

// An optional entry of a module (which may be null) as a pointer to its
// function type, or null where this system lacks it.
template <typename Function>
Function* BindEntry(HMODULE module, const char* name)
{
    return module != nullptr ? reinterpret_cast<Function*>(reinterpret_cast<void*>(GetProcAddress(module, name)))
                             : nullptr;
}
