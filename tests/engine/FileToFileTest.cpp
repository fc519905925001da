// The whole file-to-file run that both front ends call, on its own: what a stop that
// comes with the end of the input leaves behind.
#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

#include "ReferenceCoder.h"
#include "TempFiles.h"
#include "engine/FileToFile.h"

using namespace travok;
using namespace travok::test;

namespace {

// A front end may see its stop request only once the input has ended (a Ctrl+C that
// also closes the input). The run asks it then, before the commit.
struct StopAtEnd {
    const char* what;
    bool given;      // whether the front end asks to be consulted
    bool stop;       // its answer
    bool committed;  // the run's result: the output holds the coded input
};

class FileToFileStop : public testing::TestWithParam<StopAtEnd> {};

TEST_P(FileToFileStop, AStopSeenAtTheEndLeavesTheOutputAsItWas) {
    const StopAtEnd& row = GetParam();
    TempDir dir;
    const std::string input = PatternBytes(3 * kFileChunk + 17, "0123456789abcdefABCDEF\n\r\xff", 7);
    WriteBytes(dir.File("in.bin"), input);
    WriteBytes(dir.File("out.bin"), "kept");
    bool asked = false;
    bool result = false;
    {
        FileToFile run(NamedFile{dir.FileW(L"in.bin")}, NamedFile{dir.FileW(L"out.bin")});
        const KeyCoder coder(Direction::Encode, "4711");
        if (row.given)
            result = run.Run(coder, KeyWalk::FileChunks, [&] {
                asked = true;
                return row.stop;
            });
        else
            result = run.Run(coder);
    }
    EXPECT_EQ(asked, row.given);
    EXPECT_EQ(result, row.committed);
    const std::string out = ReadBytes(dir.File("out.bin"));
    if (row.committed)
        EXPECT_TRUE(out == Shifted(input, "4711", false, kFileChunk)) << "the output is not the coded input";
    else
        EXPECT_EQ(out, "kept");
    EXPECT_EQ(FileNames(dir.PathW()), (std::vector<std::wstring>{L"in.bin", L"out.bin"})) << "a file left behind";
}

INSTANTIATE_TEST_SUITE_P(Table, FileToFileStop,
                         testing::Values(StopAtEnd{"not asked", false, false, true},
                                         StopAtEnd{"asked, goes on", true, false, true},
                                         StopAtEnd{"asked, stops", true, true, false}),
                         [](const testing::TestParamInfo<StopAtEnd>& row) {
                             std::string name = row.param.what;
                             for (char& c : name)
                                 if (!isalnum(static_cast<unsigned char>(c))) c = '_';
                             return name;
                         });

}  // namespace
