// Whether the program runs under Wine. A few workarounds for the ways Wine differs from
// Windows run only there; this is the one place that decides.
#pragma once

#include <optional>

// True under Wine, whose ntdll.dll exports wine_get_version; Windows' does not. Asked
// once, then remembered.
bool RunningUnderWine();

// Tests take one side of every gate with true (Wine) or false (Windows); nullopt goes
// back to asking ntdll.dll.
void SetRunningUnderWine(std::optional<bool> answer);
