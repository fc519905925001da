// A file larger than 4 GiB coded file to file and decoded back: every byte comes back,
// and the coded bytes are those of the definition, the key restarting every 9990
// bytes of the file's 64-bit offset. Pipes carry the gigabytes (tests/page/huge_file.py).
#include "PageTest.h"

#include <fstream>
#include <map>
#include <sstream>

using namespace travok::test;

namespace {

const std::string kScript = std::string(TRAVOK_TEST_SOURCE_DIR) + "/huge_file.py";
constexpr unsigned long long kSize = 5ull << 30;  // 5 GiB: past 4 GiB, and not a multiple of 9990
const std::string kKey = "1234567";

// Sets up a File-to-File run on the page of app and leaves its "Action!" to the caller.
void PrepareFileToFile(const TravokProcess& app, const std::string& input, const std::string& output, bool decode) {
    SetText(app.Item(IDC_INPUT_PATH), input);
    SetText(app.Item(IDC_OUTPUT_PATH), output);
    SetText(app.Item(IDC_KEY), kKey);
    app.ClickNow(app.Item(IDC_FROM_FILE));
    app.ClickNow(app.Item(IDC_TO_FILE));
    app.ClickNow(app.Item(decode ? IDC_DECODE : IDC_CODE));
}

// The "name hash size" lines the Linux side leaves in its result file.
std::map<std::string, std::string> ReadResult(const std::string& path) {
    std::map<std::string, std::string> result;
    std::istringstream lines(ReadBytes(path));
    std::string name, rest;
    while (lines >> name && std::getline(lines, rest)) result[name] = rest.substr(1);
    return result;
}

TEST(HugeFile, FiveGiBRoundTripsThroughCodeAndDecodeWithTheKeyRestartingAtEveryChunk) {
    TempDir dir;
    const std::string folder = UnixPath(dir.Path());
    std::string output;
    ASSERT_EQ(RunUnix("python3 '" + kScript + "' make '" + folder + "' " + std::to_string(kSize), &output), 0)
        << output;
    ASSERT_EQ(RunUnix("setsid python3 '" + kScript + "' serve '" + folder + "' " + kKey + " >'" + folder +
                      "/serve.log' 2>&1 & echo $! >'" + folder + "/serve.pid'"),
              0);

    // The decoding Travok takes the relay pipe first: the coding one's output pipe only
    // has a reader once the relay has a reader of its own.
    TravokProcess decoder;
    PrepareFileToFile(decoder, dir.File("relay.fifo"), dir.File("decoded.fifo"), true);
    decoder.Click(decoder.Item(IDC_ACTION));
    ASSERT_TRUE(WaitFor([&] { return FileExists(dir.File("relay-open")); }, 30000)) << ReadBytes(dir.File("serve.log"));

    TravokProcess coder;
    PrepareFileToFile(coder, dir.File("in.bin"), dir.File("coded.fifo"), false);
    EXPECT_TRUE(NoMessage(coder.ClickAndCollect(coder.Item(IDC_ACTION))));
    const bool served = WaitFor([&] { return FileExists(dir.File("result")); }, 90000, 100);
    if (!served) RunUnix("kill $(cat '" + folder + "/serve.pid')");
    ASSERT_TRUE(served) << "the decoding run did not finish; " << ReadBytes(dir.File("serve.log"));
    EXPECT_TRUE(decoder.Popups().empty()) << "the decoding run showed a message";

    std::map<std::string, std::string> result = ReadResult(dir.File("result"));
    const std::string sizeText = " " + std::to_string(kSize);
    ASSERT_TRUE(result["input"].ends_with(sizeText)) << result["input"];
    EXPECT_EQ(result["coded"], result["expected"]) << "the coded file differs from the definition";
    EXPECT_EQ(result["decoded"], result["input"]) << "decoding did not give the file back";
}

}  // namespace
