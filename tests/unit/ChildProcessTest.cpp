// The tests' child processes: a child inherits the streams it is given and no other
// handle, and every way of ending one leaves no process behind. The child is holdfile,
// which holds a file until a line or the end of its input arrives.
#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>
#include <utility>

#include "ChildProcess.h"
#include "Driver.h"
#include "Pipe.h"
#include "TempFiles.h"

using namespace travok::test;

namespace {

// Our ends of a holdfile's standard streams.
struct HolderPipes {
    UniqueHandle toInput;
    UniqueHandle fromOutput;
};

ChildProcess StartHolder(const std::string& path, HolderPipes& ours) {
    Pipe in, out;
    StdStreams streams;
    streams.input = std::move(in.read);
    streams.output = std::move(out.write);
    ours.toInput = std::move(in.write);
    ours.fromOutput = std::move(out.read);
    const std::string exe = ExeDir() + "holdfile.exe";
    return ChildProcess(Wide("\"" + exe + "\" \"" + path + "\""), std::move(streams));
}

// What the holder printed up to its first line end: "HELD" once it holds the file.
// Polled, so that a holder that hangs cannot hang the test.
std::string FirstLine(HANDLE fromOutput) {
    std::string line;
    WaitFor([&] {
        DWORD available = 0;
        if (!PeekNamedPipe(fromOutput, nullptr, 0, nullptr, &available, nullptr)) return true;  // it ended
        char buffer[64];
        DWORD got = 0;
        if (available > 0 && ReadFile(fromOutput, buffer, std::min<DWORD>(available, sizeof buffer), &got, nullptr))
            line.append(buffer, got);
        return line.find('\n') != std::string::npos;
    }, kSafetyNetMs);
    return line;
}

// Whether the pipe that fromOutput reads has lost every writer. A peek answers at once,
// where a read would wait for a writer that is left.
bool WritersGone(HANDLE fromOutput) {
    DWORD available = 0;
    return !PeekNamedPipe(fromOutput, nullptr, 0, nullptr, &available, nullptr) && GetLastError() == ERROR_BROKEN_PIPE;
}

bool OpensUnshared(const std::string& path) {
    const UniqueHandle file(CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    return file.get() != INVALID_HANDLE_VALUE;
}

}  // namespace

TEST(ChildProcess, InheritsTheStreamsItIsGivenAndNoOtherHandle) {
    // An inheritable pipe end of ours that the child is not given.
    Pipe stray;
    ASSERT_TRUE(SetHandleInformation(stray.write.get(), HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT));
    TempDir dir;
    HolderPipes ours;
    ChildProcess child = StartHolder(dir.File("held"), ours);
    ASSERT_TRUE(child);
    ASSERT_EQ(FirstLine(ours.fromOutput.get()).rfind("HELD", 0), 0u);

    // The child runs, holding the file: had it inherited the stray end, that pipe would
    // still have a writer once ours is closed.
    stray.write.reset();
    EXPECT_TRUE(WritersGone(stray.read.get()));

    // Our copy of its output end was closed at the start: the output ends with the child.
    ours.toInput.reset();
    EXPECT_EQ(child.WaitExit(kSafetyNetMs), std::optional<DWORD>(0));
    EXPECT_TRUE(WritersGone(ours.fromOutput.get()));
}

namespace {

enum class Step {
    None,        // no polite step: force at once
    CloseInput,  // what lets holdfile go
    Ignored      // a step that the child does not heed
};

struct EndCase {
    const char* name;
    Step step;
    bool byDestructor;  // otherwise by End()
    DWORD politeMs;     // how long End() asks
    bool politely;      // what End() answers
    DWORD exitCode;
};

const EndCase kEndCases[] = {
    {"EndAsksAndTheChildGoes", Step::CloseInput, false, kPoliteEndMs, true, 0},
    // The ignored step is given a second only: the child would not go in any time.
    {"EndAsksInVainThenForces", Step::Ignored, false, 1000, false, kForcedExitCode},
    {"EndWithoutAStepForces", Step::None, false, kPoliteEndMs, false, kForcedExitCode},
    {"GoingAwayAsksFirst", Step::CloseInput, true, 0, false, 0},
    {"GoingAwayWithoutAStepForces", Step::None, true, 0, false, kForcedExitCode},
};

void PrintTo(const EndCase& c, std::ostream* out) { *out << c.name; }

class Ending : public testing::TestWithParam<EndCase> {};

}  // namespace

TEST_P(Ending, LeavesNoProcessAndTheFileFree) {
    const EndCase& c = GetParam();
    TempDir dir;
    const std::string held = dir.File("held");
    HolderPipes ours;
    std::optional<ChildProcess> child = StartHolder(held, ours);
    ASSERT_TRUE(*child);
    ASSERT_EQ(FirstLine(ours.fromOutput.get()).rfind("HELD", 0), 0u);
    // Sees the end from outside, as the tests see a server that COM started.
    const ChildProcess watcher = ChildProcess::Open(child->Pid());
    ASSERT_TRUE(watcher);

    int asked = 0;
    if (c.step != Step::None) {
        child->SetPoliteEnd([&] {
            ++asked;
            if (c.step == Step::CloseInput) ours.toInput.reset();
        });
    }
    if (c.byDestructor) {
        child.reset();
    } else {
        EXPECT_EQ(child->End(c.politeMs), c.politely);
        EXPECT_FALSE(child->Running());
    }

    EXPECT_EQ(watcher.ExitCode(), std::optional<DWORD>(c.exitCode));
    EXPECT_EQ(asked > 0, c.step != Step::None);
    EXPECT_TRUE(OpensUnshared(held)) << "the file is still held";
}

INSTANTIATE_TEST_SUITE_P(Ways, Ending, testing::ValuesIn(kEndCases),
                         [](const testing::TestParamInfo<EndCase>& row) { return std::string(row.param.name); });
