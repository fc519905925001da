// Making the tests' anonymous pipes.
#include "Pipe.h"

#include <gtest/gtest.h>

namespace travok::test {

Pipe::Pipe() {
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, nullptr, 0)) {
        ADD_FAILURE() << "CreatePipe failed: " << GetLastError();
        return;
    }
    read.reset(readEnd);
    write.reset(writeEnd);
}

}  // namespace travok::test
