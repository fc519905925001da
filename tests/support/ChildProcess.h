// A process that a test starts (or one that COM started for it): started with only the
// handles it is given, waited for, and ended, first the way its owner asks, then by force.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>

#include "framework/Handles.h"

namespace travok::test {

// How long a child has to end once asked before it is ended by force. A busy machine
// closes a program in seconds; a child still there after this will not go by itself.
constexpr DWORD kPoliteEndMs = 30000;
// The exit code of a child ended by force.
constexpr DWORD kForcedExitCode = 99;

// A child's standard streams, each a handle given away to the start: the child gets its
// own copy, and ours is closed once it runs, so that a pipe ends when the child ends. An
// empty one (or INVALID_HANDLE_VALUE) gives the child none.
struct StdStreams {
    UniqueHandle input;
    UniqueHandle output;
    UniqueHandle error;
};

// A copy of this process's standard handle `which` (STD_ERROR_HANDLE, ...), to give a
// child the same stream; empty when this process has none.
UniqueHandle OurStdHandle(DWORD which);

class ChildProcess {
public:
    ChildProcess() = default;  // none
    // Starts commandLine. With streams, those are its standard streams and it inherits
    // no other handle of ours; without, it inherits none. A start that fails fails the
    // test and leaves no process.
    explicit ChildProcess(std::wstring commandLine);
    ChildProcess(std::wstring commandLine, StdStreams streams);
    // A running process that another started for us, such as a server that COM started.
    // One that cannot be opened fails the test.
    static ChildProcess Open(DWORD pid);
    ~ChildProcess();  // ends it if it still runs, as End does
    ChildProcess(ChildProcess&& other) noexcept;
    ChildProcess& operator=(ChildProcess&& other) noexcept;  // ends the one held before

    explicit operator bool() const { return m_process != nullptr; }
    DWORD Pid() const { return m_pid; }
    DWORD ThreadId() const { return m_threadId; }  // its first thread; 0 for one opened
    HANDLE Handle() const { return m_process.get(); }

    bool Running() const;
    // Its exit code once it has ended; nothing while it runs (or when there is none).
    std::optional<DWORD> ExitCode() const;
    // Waits at most timeoutMs for its end; its exit code when it ended.
    std::optional<DWORD> WaitExit(DWORD timeoutMs) const;
    // Waits until one of its shown top-level windows satisfies pred, looking every
    // pollMs; nullptr when none did within timeoutMs, or the process ended first.
    HWND WaitWindow(const std::function<bool(HWND)>& pred, DWORD timeoutMs, DWORD pollMs = 10) const;

    // What asks this child to end: post Cancel to its windows, close its input, ... It is
    // asked again every half second until the child ends, since a message posted before a
    // window exists, or one that a closing dialog swallows, is lost; so it must do no
    // harm when repeated.
    void SetPoliteEnd(std::function<void()> politeEnd) { m_politeEnd = std::move(politeEnd); }
    // Ends the child: asks it politely for at most politeMs (not at all when no polite
    // step was set), then ends it by force and waits for its handle. True when it ended
    // without force, or had already ended. The polite step is used once: it may reach
    // into an owner that is going away.
    bool End(DWORD politeMs = kPoliteEndMs);

private:
    void Start(std::wstring commandLine, StdStreams* streams);

    UniqueHandle m_process;
    UniqueHandle m_thread;
    DWORD m_pid = 0;
    DWORD m_threadId = 0;
    std::function<void()> m_politeEnd;
};

}  // namespace travok::test
