// An anonymous pipe whose two ends the test owns, for a thread of the test or a child.
#pragma once

#include <windows.h>

#include "framework/Handles.h"

namespace travok::test {

// A pipe's two ends, neither inheritable: an end meant for a child is given away in the
// child's StdStreams (ChildProcess.h), which lets that child alone inherit it. An end
// left inheritable here would also reach any other child started meanwhile, which would
// then hold the pipe open after ours had closed its end.
struct Pipe {
    Pipe();  // a failure fails the test, and leaves both ends empty
    UniqueHandle read;
    UniqueHandle write;
};

}  // namespace travok::test
