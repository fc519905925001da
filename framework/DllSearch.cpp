#include "DllSearch.h"

#include "DllFunction.h"

void SearchDllsInSystem32Only() {
    using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
    auto set = LoadedDllFunction<SetDefaultDllDirectoriesFn>(L"kernel32.dll", "SetDefaultDllDirectories");
    if (set) set(LOAD_LIBRARY_SEARCH_SYSTEM32);
}
