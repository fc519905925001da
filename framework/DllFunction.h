// Functions that newer systems added to their DLLs, looked up at run time: a direct
// import of one would keep the program from loading on a system without it.
#pragma once

#include "Win.h"

// The function name of dll, which the process has already loaded; nullptr where this
// system's DLL lacks it, or the DLL is not loaded.
template <class Function>
Function LoadedDllFunction(const wchar_t* dll, const char* name) {
    HMODULE module = GetModuleHandleW(dll);
    return module ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
}
