// The replaced operator new and delete, and the switch that makes one allocation fail.
// A file of their own, so the compiler never sees malloc and free paired across them.
#include "FailingAllocator.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

std::atomic<travok::test::FailOn> g_failOn{travok::test::FailOn::Nothing};
std::atomic<DWORD> g_reader{0};
thread_local bool t_spared = false;

}  // namespace

namespace travok::test {

void SetReaderThread(DWORD threadId) { g_reader = threadId; }
void SpareThisThread() { t_spared = true; }
bool FailNextAllocation(FailOn side) { return g_failOn.exchange(side) != FailOn::Nothing; }

}  // namespace travok::test

void* operator new(size_t size) {
    using travok::test::FailOn;
    FailOn failOn = g_failOn.load();
    if (failOn != FailOn::Nothing && !t_spared && (GetCurrentThreadId() == g_reader) == (failOn == FailOn::Reader) &&
        g_failOn.compare_exchange_strong(failOn, FailOn::Nothing))
        throw std::bad_alloc();
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }
