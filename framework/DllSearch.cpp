#include "DllSearch.h"

#include "Win.h"

void SearchDllsInSystem32Only() {
    using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
    HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll");
    auto set = kernel32 ? reinterpret_cast<SetDefaultDllDirectoriesFn>(
                              reinterpret_cast<void*>(GetProcAddress(kernel32, "SetDefaultDllDirectories")))
                        : nullptr;
    if (set) set(LOAD_LIBRARY_SEARCH_SYSTEM32);
}
