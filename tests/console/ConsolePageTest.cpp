// travokc and the page code a file file to file alike, byte for byte, and each decodes
// what the other coded.
#include <gtest/gtest.h>

#include "PageTest.h"
#include "Travokc.h"

namespace travok::test {
namespace {

TEST_F(PageTest, TravokcAndThePageCodeFilesAlike) {
    std::string alphabet;
    for (int b = 0; b < 256; ++b) alphabet += static_cast<char>(b);
    const std::string bytes = PatternBytes(3 * kChunk + 17, alphabet, 11);
    const std::string key = "27182818284";
    WriteBytes(dir.File("in.bin"), bytes);

    SetMode(Mode::FileToFile);
    Type(IDC_KEY, key);
    Type(IDC_INPUT_PATH, dir.File("in.bin"));
    Type(IDC_OUTPUT_PATH, dir.File("page.bin"));
    ASSERT_TRUE(NoMessage(Action()));
    const Outcome console = RunTravokc({L"code", L"-k", Wide(key), L"in.bin", L"console.bin"});
    ASSERT_EQ(console.exitCode, 0u) << console.err;
    const std::string coded = ReadBytes(dir.File("page.bin"));
    EXPECT_TRUE(coded == ReadBytes(dir.File("console.bin"))) << "travokc and the page coded differently";

    // The page decodes travokc's file, and travokc the page's.
    SetDecode(true);
    Type(IDC_INPUT_PATH, dir.File("console.bin"));
    Type(IDC_OUTPUT_PATH, dir.File("page-decoded.bin"));
    ASSERT_TRUE(NoMessage(Action()));
    EXPECT_TRUE(ReadBytes(dir.File("page-decoded.bin")) == bytes);
    EXPECT_TRUE(RunTravokc({L"decode", L"-k", Wide(key), L"page.bin"}).out == bytes);
}

}  // namespace
}  // namespace travok::test
