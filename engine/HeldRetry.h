// Windows' virus scanners, search indexer, preview pane and backup agents open new and
// just-closed files for a moment, without sharing. A step that needs a file to itself
// waits such a brief hold out instead of failing at once.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "framework/File.h"

namespace travok {

// Time as the wait sees it, so that a test can run the wait without real time.
class RetryClock {
public:
    virtual ~RetryClock() = default;
    virtual ULONGLONG Now() = 0;  // milliseconds, from any start
    virtual void Sleep(DWORD milliseconds) = 0;
};

// The system's tick count and Sleep.
RetryClock& SystemRetryClock();

// How long a hold is waited out, and the pause between tries.
constexpr DWORD kHoldWait = 2000;
constexpr DWORD kHoldPause = 50;

// What another program's open gives: a sharing violation, or access denied for a file
// that is being deleted or replaced under it.
constexpr bool IsHeld(DWORD error) { return error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED; }

// Calls attempt, and again after a pause while it answers a hold, for kHoldWait at most.
// Returns its last answer.
DWORD RetryWhileHeld(const std::function<DWORD()>& attempt, RetryClock& clock = SystemRetryClock());

// file.Open(path, flags), retried the same way; the last failure is raised.
void OpenWhenFree(CFile& file, const std::wstring& path, UINT flags, RetryClock& clock = SystemRetryClock());

}  // namespace travok
