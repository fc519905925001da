#include "Wine.h"

#include <atomic>

#include "DllFunction.h"

namespace {

// -1 while ntdll.dll has not been asked; 0 or 1 after, or as a test set it.
std::atomic<int> g_underWine{-1};

bool NtdllIsWines() { return LoadedDllFunction<FARPROC>(L"ntdll.dll", "wine_get_version") != nullptr; }

}  // namespace

bool RunningUnderWine() {
    int answer = g_underWine.load();
    if (answer < 0) {
        answer = NtdllIsWines() ? 1 : 0;
        g_underWine.store(answer);
    }
    return answer == 1;
}

void SetRunningUnderWine(std::optional<bool> answer) { g_underWine.store(answer ? (*answer ? 1 : 0) : -1); }
