// CodeFile on its own, over real files and pipes: every byte checked against the
// reference coder, for each walk of the key, sizes on either side of a key chunk and of
// a run block, and each way a run ends: complete, cancelled, a failed read, a failed
// write, and both at once.
#include <gtest/gtest.h>

#include <future>
#include <memory>
#include <optional>
#include <ostream>
#include <thread>
#include <vector>

#include "Driver.h"
#include "Pipes.h"
#include "ReferenceCoder.h"
#include "TempFiles.h"
#include "UnixFaults.h"
#include "engine/FileRun.h"

using namespace travok;
using namespace travok::test;

namespace {

enum class End { File, Pipe };

enum class Outcome {
    Complete,
    CancelBeforeStart,
    CancelAfterFirstPiece,  // set once the first piece from a pipe is written
    ReadFailsAtOnce,        // the input handle cannot read
    ReadFailsPartWay,       // eiofs: reads past 8 MiB fail
    WriteFailsAtOnce,       // the output handle cannot write
    WriteFailsPartWay,      // the pipe's reader goes away after 100000 bytes
    ReadAndWriteFail,       // the read fails while a write waits, which then fails too
};

struct RunCase {
    KeyWalk walk;
    size_t size;  // of the input; eiofs's file brings its own
    End in;
    End out;
    Outcome outcome;
};

const char* Name(KeyWalk walk) { return walk == KeyWalk::FileChunks ? "FileChunks" : "Continuous"; }
const char* Name(End end) { return end == End::File ? "File" : "Pipe"; }
const char* Name(Outcome outcome) {
    switch (outcome) {
    case Outcome::Complete: return "Complete";
    case Outcome::CancelBeforeStart: return "CancelBeforeStart";
    case Outcome::CancelAfterFirstPiece: return "CancelAfterFirstPiece";
    case Outcome::ReadFailsAtOnce: return "ReadFailsAtOnce";
    case Outcome::ReadFailsPartWay: return "ReadFailsPartWay";
    case Outcome::WriteFailsAtOnce: return "WriteFailsAtOnce";
    case Outcome::WriteFailsPartWay: return "WriteFailsPartWay";
    case Outcome::ReadAndWriteFail: return "ReadAndWriteFail";
    }
    return "?";
}

void PrintTo(const RunCase& c, std::ostream* os) {
    *os << Name(c.walk) << ", " << c.size << " bytes, " << Name(c.in) << " to " << Name(c.out) << ", "
        << Name(c.outcome);
}

constexpr size_t kChunk = kFileChunk;
constexpr size_t kBlock = kRunBlock;
constexpr size_t kReadableOfBreaks = 8u << 20;  // eiofs's breaks.bin fails reads past this

std::vector<RunCase> Cases() {
    std::vector<RunCase> cases;
    const size_t sizes[] = {0,          1,          kChunk - 1, kChunk,    kChunk + 1,
                            kBlock - 1, kBlock,     kBlock + 1, 2 * kBlock + kChunk + 1};
    for (KeyWalk walk : {KeyWalk::FileChunks, KeyWalk::Continuous}) {
        for (size_t size : sizes) cases.push_back({walk, size, End::File, End::File, Outcome::Complete});
        // A pipe gives short reads, so blocks start at any offset of the key's walk.
        cases.push_back({walk, 3 * kChunk + 17, End::Pipe, End::File, Outcome::Complete});
        cases.push_back({walk, kBlock + kChunk + 1, End::File, End::Pipe, Outcome::Complete});
        cases.push_back({walk, kBlock + 1, End::Pipe, End::Pipe, Outcome::Complete});
        cases.push_back({walk, kChunk + 1, End::Pipe, End::File, Outcome::CancelAfterFirstPiece});
        cases.push_back({walk, kReadableOfBreaks, End::File, End::File, Outcome::ReadFailsPartWay});
    }
    cases.push_back({KeyWalk::FileChunks, kChunk, End::File, End::File, Outcome::CancelBeforeStart});
    cases.push_back({KeyWalk::FileChunks, kChunk, End::File, End::File, Outcome::ReadFailsAtOnce});
    cases.push_back({KeyWalk::FileChunks, kBlock + 1, End::File, End::File, Outcome::WriteFailsAtOnce});
    cases.push_back({KeyWalk::FileChunks, kBlock + 1, End::File, End::Pipe, Outcome::WriteFailsPartWay});
    cases.push_back({KeyWalk::FileChunks, kReadableOfBreaks, End::File, End::Pipe, Outcome::ReadAndWriteFail});
    return cases;
}

const std::string kKey = "3141592";  // 7 digits: 9990 is no multiple of 7, so a restart shows

std::string AllBytes() {
    std::string bytes(256, '\0');
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i);
    return bytes;
}

// What the run must write for input, coded all the way.
std::string Expected(const std::string& input, KeyWalk walk) {
    return Shifted(input, kKey, false, walk == KeyWalk::FileChunks ? kChunk : 0);
}

class FileRun : public testing::TestWithParam<RunCase> {
protected:
    TempDir dir;
    const KeyCoder coder{Direction::Encode, kKey};
    RunProgress progress;
};

TEST_P(FileRun, WritesTheReferenceCodingOfWhatItRead) {
    const RunCase& c = GetParam();
    const bool eiofs = c.outcome == Outcome::ReadFailsPartWay || c.outcome == Outcome::ReadAndWriteFail;
    std::unique_ptr<EioMount> mount;
    std::string input;
    if (eiofs) {
        mount = std::make_unique<EioMount>(dir.File("eio"));
        if (!mount->Ok()) GTEST_SKIP() << "eiofs cannot be mounted (needs root and /dev/fuse): " << mount->Error();
        // Reads go to the end of the request that crosses the limit: a little more.
        input = EioFsBytes(c.size + 65536);
    } else {
        input = PatternBytes(c.size, AllBytes(), static_cast<unsigned>(c.size));
    }

    // The input: a file, or a pipe that a thread fills in pieces that share no
    // boundary with the key's chunks. Declared before the files, so it goes after them.
    std::unique_ptr<PipeFeeder> feeder;
    Pipe gate;  // the input of a cancelled run, filled by this test
    CFile in;
    if (c.outcome == Outcome::CancelAfterFirstPiece) {
        in.Attach(gate.read.release(), L"input pipe");
    } else if (c.in == End::Pipe) {
        feeder = std::make_unique<PipeFeeder>(input, 7777);
        in.Attach(feeder->TakeReadEnd(), L"input pipe");
    } else if (eiofs) {
        in.Open(dir.FileW(L"eio\\breaks.bin"), CFile::modeRead | CFile::shareExclusive);
    } else {
        WriteBytes(dir.FileW(L"in.bin"), input);
        // A handle that may only write cannot read.
        in.Open(dir.FileW(L"in.bin"),
                (c.outcome == Outcome::ReadFailsAtOnce ? CFile::modeWrite : CFile::modeRead) | CFile::shareExclusive);
    }

    // The output: a file, or a pipe that a thread drains (up to a limit, when it stops
    // taking bytes), or, when the read must fail first, one whose reader takes the
    // blocks before the one before the fault and then no more, so that the writer waits
    // while the reader reaches the fault.
    std::unique_ptr<PipeDrain> drain;
    Pipe stuck;
    std::jthread taker;  // joined after the output closes, which ends a read that waits
    CFile out;
    const std::wstring outPath = dir.FileW(L"out.bin");
    const std::string broke = dir.File("eio.broke");  // eiofs writes here as it fails the read
    if (c.outcome == Outcome::ReadAndWriteFail) {
        WriteBytes(broke, "");
        out.Attach(stuck.write.release(), L"output pipe");
        taker = std::jthread([&stuck] {
            std::string bytes(kReadableOfBreaks / kBlock * kBlock - kBlock, '\0');
            DWORD got = 0;
            for (size_t done = 0; done < bytes.size(); done += got)
                if (!ReadFile(stuck.read.get(), bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &got,
                              nullptr) ||
                    got == 0)
                    return;
        });
    } else if (c.out == End::Pipe) {
        drain = std::make_unique<PipeDrain>(c.outcome == Outcome::WriteFailsPartWay ? 100000 : SIZE_MAX);
        out.Attach(drain->TakeWriteEnd(), L"output pipe");
    } else if (c.outcome == Outcome::WriteFailsAtOnce) {
        WriteBytes(outPath, "");
        out.Open(outPath, CFile::modeRead | CFile::shareExclusive);  // a handle that cannot write
    } else {
        out.Open(outPath, CFile::modeWrite | CFile::modeCreate | CFile::shareExclusive);
    }

    if (c.outcome == Outcome::CancelBeforeStart) progress.cancel = true;
    auto run = std::async(std::launch::async, [&] { return CodeFile(coder, in, out, progress, c.walk); });
    // Should a check below end the test early, the pipes the run waits on close first,
    // so that it ends too.
    struct Unblock {
        Pipe& gate;
        Pipe& stuck;
        ~Unblock() {
            gate.write.reset();
            stuck.read.reset();
        }
    } unblock{gate, stuck};

    // How far the input was fed when the run was cancelled.
    size_t fed = input.size();
    if (c.outcome == Outcome::CancelAfterFirstPiece) {
        fed = 5000;
        ASSERT_TRUE(WriteAll(gate.write.get(), std::string_view(input).substr(0, fed), fed));
        ASSERT_TRUE(WaitFor([&] { return progress.done == fed; }));
        progress.cancel = true;
        // The read that waits gets the rest, which must not be written.
        ASSERT_TRUE(WriteAll(gate.write.get(), std::string_view(input).substr(fed), input.size()));
        gate.write.reset();
    }
    if (c.outcome == Outcome::ReadAndWriteFail) {
        // Once the read has failed, while the writer still waits to write a block,
        // taking the pipe's reader away fails that write too.
        ASSERT_TRUE(WaitFor([&] { return !ReadBytes(broke).empty(); }, 60000)) << "the read past 8 MiB never came";
        taker.join();
        stuck.read.reset();
    }

    std::optional<CFileException> error;
    bool complete = false;
    try {
        complete = run.get();
    } catch (const CFileException& e) {
        error = e;
    }
    out.Close();
    const std::string written = drain ? drain->Bytes() : c.outcome == Outcome::ReadAndWriteFail ? std::string()
                                                                                                   : ReadBytes(outPath);
    const std::string expected = Expected(input, c.walk);

    switch (c.outcome) {
    case Outcome::Complete:
        EXPECT_FALSE(error);
        EXPECT_TRUE(complete);
        EXPECT_EQ(progress.done, input.size());
        EXPECT_EQ(written.size(), expected.size());
        EXPECT_TRUE(written == expected) << "the output differs from the reference coding";
        break;
    case Outcome::CancelBeforeStart:
    case Outcome::CancelAfterFirstPiece:
        // Whole pieces only: what was written before the cancel, and nothing after.
        EXPECT_FALSE(error);
        EXPECT_FALSE(complete);
        EXPECT_EQ(progress.done, c.outcome == Outcome::CancelBeforeStart ? 0 : fed);
        EXPECT_TRUE(written == expected.substr(0, written.size())) << written.size() << " bytes written";
        EXPECT_EQ(written.size(), progress.done);
        break;
    case Outcome::ReadFailsAtOnce:
        ASSERT_TRUE(error);
        EXPECT_EQ(error->m_cause, CFileException::accessDenied);
        EXPECT_EQ(error->m_strFileName, L"");  // a failed read names no file
        EXPECT_EQ(written, "");
        break;
    case Outcome::ReadFailsPartWay:
        // Every block read before the fault is written, coded; none after it.
        ASSERT_TRUE(error);
        EXPECT_EQ(error->m_cause, CFileException::hardIO);
        EXPECT_EQ(error->m_strFileName, L"");
        EXPECT_GE(written.size(), c.size);
        EXPECT_EQ(progress.done, written.size());
        EXPECT_TRUE(written == expected.substr(0, written.size())) << written.size() << " bytes written";
        break;
    case Outcome::WriteFailsAtOnce:
        ASSERT_TRUE(error);
        EXPECT_EQ(error->m_cause, CFileException::accessDenied);
        EXPECT_EQ(error->m_strFileName, outPath);  // a failed write names the file's full path
        EXPECT_EQ(progress.done, 0u);
        break;
    case Outcome::WriteFailsPartWay:
        ASSERT_TRUE(error);
        EXPECT_EQ(error->m_strFileName, L"output pipe");
        EXPECT_EQ(progress.done, 0u);  // the first block never went through whole
        EXPECT_TRUE(written == expected.substr(0, written.size())) << "the bytes that got through are not coded right";
        break;
    case Outcome::ReadAndWriteFail:
        // The read's failure is the one reported: it comes first in the input.
        ASSERT_TRUE(error);
        EXPECT_EQ(error->m_cause, CFileException::hardIO);
        EXPECT_EQ(error->m_strFileName, L"");
        break;
    }
}

INSTANTIATE_TEST_SUITE_P(Table, FileRun, testing::ValuesIn(Cases()), [](const auto& row) {
    const RunCase& c = row.param;
    return std::string(Name(c.walk)) + "_" + std::to_string(c.size) + "_" + Name(c.in) + "To" + Name(c.out) + "_" +
           Name(c.outcome);
});

}  // namespace
