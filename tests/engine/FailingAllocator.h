// An allocator for tests that makes one allocation fail on purpose, on the thread that
// runs a file run (its reader) or on any other (its writer). It replaces the program's
// operator new for the whole test program.
#pragma once

#include <windows.h>

namespace travok::test {

enum class FailOn { Nothing, Reader, Writer };

// The thread whose allocations count as the reader's.
void SetReaderThread(DWORD threadId);
// Keeps the calling thread's allocations from ever failing: the test's own helpers.
void SpareThisThread();
// Arms the next allocation on that side to fail, once; Nothing disarms. Returns whether
// an allocation was armed before, and so has not failed yet.
bool FailNextAllocation(FailOn side);

}  // namespace travok::test
