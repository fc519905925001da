// Anonymous pipes for engine tests: one end handed to the run as its input or output,
// the other filled or drained by the test, from a thread of its own where needed.
#pragma once

#include <windows.h>

#include <atomic>
#include <string>
#include <string_view>
#include <thread>

#include "Pipe.h"

namespace travok::test {

// Writes all of bytes into handle, in writes of at most piece bytes. False when a write
// failed (the reading end was closed).
bool WriteAll(HANDLE handle, std::string_view bytes, size_t piece);

// Fills a pipe on a thread of its own with bytes, in writes of piece bytes, then closes
// it. The read end is for the run.
class PipeFeeder {
public:
    PipeFeeder(std::string bytes, size_t piece);
    ~PipeFeeder();  // waits for the last write, which the run's end releases
    PipeFeeder(const PipeFeeder&) = delete;
    PipeFeeder& operator=(const PipeFeeder&) = delete;

    HANDLE TakeReadEnd() { return m_pipe.read.release(); }

private:
    Pipe m_pipe;
    std::string m_bytes;
    std::thread m_thread;
};

// Reads a pipe on a thread of its own until its writer closes it, or until it has kept
// limit bytes, when it closes its end: the writer's next write then fails. The write
// end is for the run.
class PipeDrain {
public:
    explicit PipeDrain(size_t limit = SIZE_MAX);
    ~PipeDrain();
    PipeDrain(const PipeDrain&) = delete;
    PipeDrain& operator=(const PipeDrain&) = delete;

    HANDLE TakeWriteEnd() { return m_pipe.write.release(); }
    // What was read, once the writer has closed its end (or the limit was reached).
    const std::string& Bytes();

private:
    Pipe m_pipe;
    size_t m_limit;
    std::string m_bytes;
    std::thread m_thread;
};

}  // namespace travok::test
