// A file larger than 4 GiB coded file to file and decoded back: every byte comes back,
// and the coded bytes are those of the definition, the key restarting every 9990
// bytes of the file's 64-bit offset. tests/page/huge_file.py makes the sparse input and
// hashes on the Linux side.
#include "PageTest.h"

#include <fstream>
#include <map>
#include <sstream>

using namespace travok::test;

namespace {

const std::string kScript = std::string(TRAVOK_TEST_SOURCE_DIR) + "/huge_file.py";
constexpr unsigned long long kSize = 5ull << 30;  // 5 GiB: past 4 GiB, and not a multiple of 9990
const std::string kKey = "1234567";

// One File-to-File run on the page of app; returns the messages it showed.
std::vector<SeenBox> FileToFile(const std::string& input, const std::string& output, bool decode) {
    TravokProcess app;
    SetText(app.Item(IDC_INPUT_PATH), input);
    SetText(app.Item(IDC_OUTPUT_PATH), output);
    SetText(app.Item(IDC_KEY), kKey);
    app.ClickNow(app.Item(IDC_FROM_FILE));
    app.ClickNow(app.Item(IDC_TO_FILE));
    app.ClickNow(app.Item(decode ? IDC_DECODE : IDC_CODE));
    return app.ClickAndCollect(app.Item(IDC_ACTION));
}

std::string Python(const std::string& args) {
    std::string output;
    EXPECT_EQ(RunUnix("python3 '" + kScript + "' " + args, &output), 0) << output;
    if (!output.empty() && output.back() == '\n') output.pop_back();
    return output;
}

// The "name hash size" lines of the expectations file.
std::map<std::string, std::string> ReadExpected(const std::string& path) {
    std::map<std::string, std::string> result;
    std::istringstream lines(ReadBytes(path));
    std::string name, rest;
    while (lines >> name && std::getline(lines, rest)) result[name] = rest.substr(1);
    return result;
}

TEST(HugeFile, FiveGiBRoundTripsThroughCodeAndDecodeWithTheKeyRestartingAtEveryChunk) {
    TempDir dir;
    const std::string folder = UnixPath(dir.Path());
    Python("make '" + folder + "' " + std::to_string(kSize));
    // What coding must give is worked out meanwhile.
    ASSERT_EQ(RunUnix("setsid python3 '" + kScript + "' expect '" + folder + "' " + kKey + " >'" + folder +
                      "/expect.log' 2>&1 &"),
              0);

    EXPECT_TRUE(NoMessage(FileToFile(dir.File("in.bin"), dir.File("coded.bin"), false)));
    const std::string coded = Python("hash '" + folder + "/coded.bin'");
    EXPECT_TRUE(NoMessage(FileToFile(dir.File("coded.bin"), dir.File("decoded.bin"), true)));
    DeleteFileA(dir.File("coded.bin").c_str());
    const std::string decoded = Python("hash '" + folder + "/decoded.bin'");
    DeleteFileA(dir.File("decoded.bin").c_str());

    ASSERT_TRUE(WaitFor([&] { return FileExists(dir.File("expected")); }, 120000, 100))
        << ReadBytes(dir.File("expect.log"));
    std::map<std::string, std::string> expected = ReadExpected(dir.File("expected"));
    ASSERT_TRUE(expected["input"].ends_with(std::string(" ").append(std::to_string(kSize)))) << expected["input"];
    EXPECT_EQ(coded, expected["expected"]) << "the coded file differs from the definition";
    EXPECT_EQ(decoded, expected["input"]) << "decoding did not give the file back";
}

}  // namespace
