// Large texts, keys and files: the boxes take a pasted text of more than 1 MiB, text runs
// code all of it, and File-to-Text takes a file up to what a text box holds.
#include "Handles.h"
#include "PageTest.h"
#include "page/Cheie.h"

using namespace travok::test;

namespace {

using LargeText = PageTest;

// Lines of printable text with CR LF, n bytes in all.
std::string Lines(size_t n, unsigned seed) {
    std::string text = PatternBytes(n, "abcdefghijklmnopqrstuvwxyz ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789.,;:!?", seed);
    for (size_t i = 62; i + 1 < n; i += 64) {
        text[i] = '\r';
        text[i + 1] = '\n';
    }
    return text;
}

// Puts text on the clipboard, as a user's copy in another program would.
testing::AssertionResult PutOnClipboard(const std::string& text) {
    HWND owner = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    if (!owner || !OpenClipboard(owner)) return testing::AssertionFailure() << "cannot open the clipboard";
    EmptyClipboard();
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
    char* bytes = static_cast<char*>(GlobalLock(memory));
    memcpy(bytes, text.c_str(), text.size() + 1);
    GlobalUnlock(memory);
    bool set = SetClipboardData(CF_TEXT, memory) != nullptr;
    CloseClipboard();
    DestroyWindow(owner);
    if (!set) return testing::AssertionFailure() << "SetClipboardData failed: error " << GetLastError();
    return testing::AssertionSuccess();
}

std::string FirstDifference(const std::string& got, const std::string& want) {
    size_t i = 0;
    while (i < got.size() && i < want.size() && got[i] == want[i]) ++i;
    return "got " + std::to_string(got.size()) + " bytes, want " + std::to_string(want.size()) +
           ", first difference at byte " + std::to_string(i);
}

// A text of more than 1 MiB, pasted into the input box, fits and is coded whole, to a
// file and to the result box.
TEST_F(LargeText, APastedTextOfMoreThanOneMiBIsCodedWhole) {
    const std::string text = Lines((1u << 20) + 1000, 1);
    const std::string key = "90210";
    const std::string want = Shifted(text, key, false);
    ASSERT_TRUE(PutOnClipboard(text));
    DWORD_PTR result = 0;
    SendMessageTimeoutA(Item(IDC_INPUT), WM_PASTE, 0, 0, SMTO_NORMAL, kSafetyNetMs, &result);
    ASSERT_EQ(Text(IDC_INPUT).size(), text.size()) << "the input box cut the pasted text";
    Type(IDC_KEY, key);

    SetMode(Mode::TextToFile);
    Type(IDC_OUTPUT_PATH, "out.txt");
    EXPECT_TRUE(NoMessage(Action()));
    const std::string written = ReadBytes(dir.File("out.txt"));
    EXPECT_TRUE(written == want) << FirstDifference(written, want);

    SetMode(Mode::TextToText);
    EXPECT_TRUE(NoMessage(Action()));
    const std::string shown = Text(IDC_RESULT);
    EXPECT_TRUE(shown == want) << FirstDifference(shown, want);
}

// A key of more than 9999 digits is used whole: text bytes past the 9999th meet the
// digits past the 9999th.
TEST_F(LargeText, AKeyOfMoreThan9999DigitsIsUsedWhole) {
    const std::string key = PatternBytes(12000, "0123456789", 7);
    const std::string text = Lines(15000, 8);
    Type(IDC_KEY, key);
    ASSERT_EQ(Text(IDC_KEY), key);
    Type(IDC_INPUT, text);
    SetMode(Mode::TextToFile);
    Type(IDC_OUTPUT_PATH, "out.txt");
    EXPECT_TRUE(NoMessage(Action()));
    const std::string written = ReadBytes(dir.File("out.txt"));
    EXPECT_TRUE(written == Shifted(text, key, false)) << FirstDifference(written, Shifted(text, key, false));
}

// File-to-Text takes a file of up to kTextBoxLimit bytes whole, shown in the input box
// and coded in the result box.
TEST_F(LargeText, FileToTextTakesAFileAsLargeAsATextBoxHolds) {
    const std::string text = Lines(CCheie::kTextBoxLimit, 9);
    const std::string key = "1234567";
    WriteBytes(dir.File("in.txt"), text);
    Type(IDC_KEY, key);
    Type(IDC_INPUT_PATH, "in.txt");
    SetMode(Mode::FileToText);
    EXPECT_TRUE(NoMessage(Action()));
    const std::string shownInput = Text(IDC_INPUT), shownResult = Text(IDC_RESULT);
    const std::string want = Shifted(text, key, false);
    EXPECT_TRUE(shownInput == text) << FirstDifference(shownInput, text);
    EXPECT_TRUE(shownResult == want) << FirstDifference(shownResult, want);
}

// A larger file is not coded: the user is told it is too large to show as text, and no
// box changes.
TEST_F(LargeText, FileToTextRefusesAFileLargerThanATextBoxHolds) {
    WriteBytes(dir.File("in.txt"), Lines(CCheie::kTextBoxLimit + 1, 10));
    Type(IDC_INPUT, "the input box");
    Type(IDC_KEY, "31");
    Type(IDC_RESULT, "the result box");
    Type(IDC_INPUT_PATH, "in.txt");
    Type(IDC_OUTPUT_PATH, "out.txt");
    SetMode(Mode::FileToText);
    const std::vector<std::string> before = Boxes();
    EXPECT_TRUE(OneMessage(Action(), kFileTooLarge, IDI_ASTERISK));
    EXPECT_EQ(Boxes(), before);
    EXPECT_EQ(Files(), std::vector<std::string>{"in.txt"});
}

// The file is closed before the message shows: while the user reads it, other programs
// may change the file or take it away.
TEST_F(LargeText, TheRefusedFileIsFreeWhileTheMessageShows) {
    const std::string input = dir.File("in.txt");
    WriteBytes(input, Lines(CCheie::kTextBoxLimit + 1, 10));
    Type(IDC_KEY, "31");
    Type(IDC_INPUT_PATH, "in.txt");
    SetMode(Mode::FileToText);
    app.Click(Item(IDC_ACTION));
    const SeenBox box = app.WaitBox();
    EXPECT_EQ(box.text, kFileTooLarge);
    {
        const UniqueHandle writer(CreateFileA(input.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        EXPECT_NE(writer.get(), INVALID_HANDLE_VALUE) << "the file is still held: error " << GetLastError();
    }
    app.CloseBox(box);
}

}  // namespace
