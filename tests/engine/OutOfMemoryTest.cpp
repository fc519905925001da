// Out of memory in the middle of a file run, on the reading or on the writing thread:
// the run stops, both its threads end, the program shows its own message for it, as
// the page's guard does, and goes on to run again.
#include <gtest/gtest.h>

#include <atomic>
#include <ostream>
#include <thread>

#include "Driver.h"
#include "FailingAllocator.h"
#include "Pipes.h"
#include "ReferenceCoder.h"
#include "TempFiles.h"
#include "engine/FileRun.h"
#include "framework/CallbackGuard.h"
#include "shell/TravokApp.h"

using namespace travok;
using namespace travok::test;

namespace travok::test {
void PrintTo(FailOn side, std::ostream* os) { *os << (side == FailOn::Reader ? "the reader" : "the writer"); }
}  // namespace travok::test

namespace {

const std::string kKey = "3141592";
const std::string kOutOfMemory = "There is not enough memory to finish this operation.";

struct Box {
    std::string caption;
    std::string text;
};

// Waits for a message box of this process, reads it and presses its OK button.
Box AnswerBox() {
    HWND box = nullptr;
    if (!WaitFor([&] {
            const std::vector<HWND> shown = TopLevelWindows(GetCurrentProcessId());
            box = shown.empty() ? nullptr : shown.front();
            return box != nullptr;
        }))
        return {};
    Box seen{GetText(box), GetText(GetDlgItem(box, 0xFFFF))};  // 0xFFFF: a message box's text
    PostMessageA(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
    WaitFor([&] { return !IsWindow(box); });
    return seen;
}

class OutOfMemoryInARun : public testing::TestWithParam<FailOn> {};

TEST_P(OutOfMemoryInARun, EndsInTheProgramsMessageAndTheProgramGoesOn) {
    CTravokApp app;  // whose handler shows the message, as in the program
    TempDir dir;
    const KeyCoder coder(Direction::Encode, kKey);
    SetReaderThread(GetCurrentThreadId());

    Pipe input;
    CFile in, out;
    in.Attach(input.read.release(), L"input pipe");
    out.Open(dir.FileW(L"out.bin"), CFile::modeWrite | CFile::modeCreate | CFile::shareExclusive);
    RunProgress progress;
    std::atomic<bool> ended{false};
    // Pieces that each become a block of their own: the queues between the threads
    // grow, and so allocate, as the run goes on. Once the first piece is written the run
    // is under way, between the writer's start and its join, and the allocation is armed.
    std::thread feeder([&] {
        SpareThisThread();
        const std::string piece(1000, 'x');
        if (WriteAll(input.write.get(), piece, piece.size()) && WaitFor([&] { return progress.done > 0; })) {
            FailNextAllocation(GetParam());
            for (int i = 0; i < 100000 && !ended; ++i)
                if (!WriteAll(input.write.get(), piece, piece.size())) break;
        }
        input.write.reset();
    });
    Box box;
    std::thread watcher([&] {
        SpareThisThread();
        box = AnswerBox();
    });

    // The guard that every window procedure of the program runs its handlers in.
    const int result = CallGuarded(-1, [&] { return CodeFile(coder, in, out, progress) ? 1 : 0; });
    ended = true;
    const bool fired = !FailNextAllocation(FailOn::Nothing);
    in.Abort();  // the feeder's next write fails
    feeder.join();
    watcher.join();

    ASSERT_TRUE(fired) << "no allocation was made during the run";
    EXPECT_EQ(result, -1);
    EXPECT_EQ(box.caption, "Error Travok");
    EXPECT_EQ(box.text, kOutOfMemory);

    // The program goes on: the next run codes a file whole.
    out.Abort();
    const std::string bytes = PatternBytes(3 * kFileChunk + 5, "abcdefghij\r\n", 7);
    WriteBytes(dir.FileW(L"in.bin"), bytes);
    CFile in2, out2;
    in2.Open(dir.FileW(L"in.bin"), CFile::modeRead | CFile::shareExclusive);
    out2.Open(dir.FileW(L"out2.bin"), CFile::modeWrite | CFile::modeCreate | CFile::shareExclusive);
    RunProgress next;
    EXPECT_TRUE(CodeFile(coder, in2, out2, next));
    out2.Close();
    EXPECT_EQ(ReadBytes(dir.FileW(L"out2.bin")), Shifted(bytes, kKey, false, kFileChunk));
}

INSTANTIATE_TEST_SUITE_P(OnEachThread, OutOfMemoryInARun, testing::Values(FailOn::Reader, FailOn::Writer),
                         [](const auto& row) { return row.param == FailOn::Reader ? "Reader" : "Writer"; });

}  // namespace
