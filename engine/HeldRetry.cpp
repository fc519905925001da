// RetryWhileHeld: tries until the hold ends or the wait is over.
#include "HeldRetry.h"

namespace travok {

namespace {

class SystemClock final : public RetryClock {
public:
    ULONGLONG Now() override { return GetTickCount64(); }
    void Sleep(DWORD milliseconds) override { ::Sleep(milliseconds); }
};

}  // namespace

RetryClock& SystemRetryClock() {
    static SystemClock clock;
    return clock;
}

DWORD RetryWhileHeld(const std::function<DWORD()>& attempt, RetryClock& clock) {
    const ULONGLONG start = clock.Now();
    for (;;) {
        const DWORD error = attempt();
        if (!IsHeld(error) || clock.Now() - start >= kHoldWait) return error;
        clock.Sleep(kHoldPause);
    }
}

void OpenWhenFree(CFile& file, const std::wstring& path, UINT flags, RetryClock& clock) {
    std::optional<CFileException> failure;
    RetryWhileHeld(
        [&]() -> DWORD {
            try {
                file.Open(path, flags);
                failure.reset();
                return NO_ERROR;
            } catch (const CFileException& e) {
                failure = e;
                return static_cast<DWORD>(e.m_lOsError);
            }
        },
        clock);
    if (failure) throw *failure;
}

}  // namespace travok
