// A file-to-file run whose input or output another program holds, as a virus scanner,
// the search indexer or a preview pane does for a moment: a hold that ends soon is
// waited out while the window goes on serving its messages, and the run succeeds with
// no message; a hold that lasts is reported as any failed open.
#include <windows.h>

#include <ostream>

#include "DialogDriver.h"
#include "PageTest.h"

using namespace travok::test;

namespace {

struct HoldCase {
    const char* name;
    bool input;  // the input is held; otherwise the existing output
    bool ends;   // the hold ends after 0.7 s; otherwise it lasts the run
};

void PrintTo(const HoldCase& c, std::ostream* os) { *os << c.name; }

const HoldCase kHolds[] = {
    {"InputHeldBriefly", true, true},
    {"OutputHeldBriefly", false, true},
    {"InputHeldForGood", true, false},
    {"OutputHeldForGood", false, false},
};

class HeldFileRun : public PageTest, public testing::WithParamInterface<HoldCase> {};

TEST_P(HeldFileRun, WaitsOutABriefHoldAndReportsOneThatLasts) {
    const HoldCase& c = GetParam();
    const std::string plain = "the input, held or not\r\n", old = "the output as it was";
    const std::string key = "2718";
    const std::string in = dir.File("in.bin"), out = dir.File("out.bin");
    WriteBytes(in, plain);
    WriteBytes(out, old);
    SetMode(Mode::FileToFile);
    Type(IDC_INPUT_PATH, in);
    Type(IDC_OUTPUT_PATH, out);
    Type(IDC_KEY, key);

    HeldFile holder(c.input ? in : out);
    if (!holder.Held()) GTEST_SKIP() << "holdfile could not hold the file: " << holder.Output();
    PendingClick click(app, Item(IDC_ACTION));
    if (c.ends) {
        Sleep(700);
        // The hold ends only once the window has answered: a run that waited on the
        // window's own thread would give up first.
        DWORD_PTR length = 0;
        EXPECT_TRUE(SendMessageTimeoutW(Item(IDC_KEY), WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, kSafetyNetMs, &length));
        EXPECT_EQ(length, key.size());
        holder.Release();
    }
    const std::vector<SeenBox> boxes = click.Finish();
    holder.Release();

    if (c.ends) {
        EXPECT_TRUE(NoMessage(boxes));
        EXPECT_EQ(ReadBytes(out), Shifted(plain, key, false, kChunk));
    } else {
        EXPECT_TRUE(OneReport(boxes, c.input ? in : out, kUnknownError));
        EXPECT_EQ(ReadBytes(out), old);
    }
    EXPECT_EQ(ReadBytes(in), plain);
    EXPECT_EQ(Files(), (std::vector<std::string>{"in.bin", "out.bin"})) << "a temporary file or backup was left";
}

INSTANTIATE_TEST_SUITE_P(Holds, HeldFileRun, testing::ValuesIn(kHolds), [](const auto& row) {
    return std::string(row.param.name);
});

}  // namespace
