// The file error report of the coding run, for each fault that can be provoked here,
// and the path boxes read whole. After every failure the input file is unchanged.
#include <algorithm>

#include "PageTest.h"

using namespace travok::test;

namespace {

class FileErrors : public PageTest {
protected:
    const std::string inText = "the input\r\nstays as it is";

    void SetUp() override {
        WriteBytes(dir.File("in.txt"), inText);
        CreateDirectoryA(dir.File("sub").c_str(), nullptr);
        Type(IDC_KEY, "42");
    }

    // Sets the mode and the boxes for a run; the input text box is only filled when the
    // input is text.
    void Prepare(Mode mode, const std::string& input, const std::string& output) const {
        SetMode(mode);
        Type(IDC_INPUT, FromFile(mode) ? "" : inText);
        Type(IDC_INPUT_PATH, FromFile(mode) ? input : "");
        Type(IDC_OUTPUT_PATH, output);
        Type(IDC_RESULT, "untouched");
    }

    // What every failed run must leave: the input file and the boxes as they were.
    void ExpectInputKept(Mode mode) const {
        EXPECT_EQ(ReadBytes(dir.File("in.txt")), inText);
        EXPECT_EQ(Text(IDC_INPUT), FromFile(mode) ? "" : inText);
        EXPECT_EQ(Text(IDC_RESULT), "untouched");
    }
};

// Paths that cannot be opened, and what the report says about each: the path is named
// exactly as typed.
TEST_F(FileErrors, PathsThatCannotBeOpenedAreReportedByName) {
    // Spaces let the message box wrap the long text, so the box fits the screen.
    std::string words;
    while (words.size() < 150) words += "no such folder ";
    const std::string longPath = dir.File(words + "\\" + words + "out.txt");
    struct Case {
        const char* what;
        Mode mode;
        std::string input, output;
        std::string named;
        const std::string& message;
    };
    const Case cases[] = {
        {"missing input", Mode::FileToFile, "missing.txt", "out.txt", "missing.txt", kNotFound},
        {"missing input, whole path", Mode::FileToFile, dir.File("missing.txt"), "out.txt", dir.File("missing.txt"),
         kNotFound},
        {"missing input, to text", Mode::FileToText, "missing.txt", "", "missing.txt", kNotFound},
        {"missing input folder", Mode::FileToFile, "nofolder\\in.txt", "out.txt", "nofolder\\in.txt", kBadPath},
        {"missing output folder", Mode::FileToFile, "in.txt", "nofolder\\out.txt", "nofolder\\out.txt", kBadPath},
        {"missing output folder, text in", Mode::TextToFile, "", "nofolder\\out.txt", "nofolder\\out.txt", kBadPath},
        {"a '<' in the name", Mode::TextToFile, "", "a<b.txt", "a<b.txt", kBadPath},
        {"a '|' in the input name", Mode::FileToText, "a|b.txt", "", "a|b.txt", kBadPath},
        {"a path too long for the platform", Mode::TextToFile, "", longPath, longPath, kBadPath},
        {"an empty output path", Mode::TextToFile, "", "", "", kBadPath},
        {"an empty input path", Mode::FileToFile, "", "out.txt", "", kBadPath},
        {"a folder as output", Mode::FileToFile, "in.txt", "sub", "sub", kAccessDenied},
        {"a folder as output, text in", Mode::TextToFile, "", "sub", "sub", kAccessDenied},
        {"a folder as input", Mode::FileToText, "sub", "", "sub", kAccessDenied},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.what) + ", " + ModeName(c.mode));
        Prepare(c.mode, c.input, c.output);
        EXPECT_TRUE(OneReport(Action(), c.named, c.message));
        ExpectInputKept(c.mode);
        EXPECT_EQ(Files(), (std::vector<std::string>{"in.txt", "sub"})) << "no file is created";
    }
}

// A file that root cannot write to either: it is immutable.
TEST_F(FileErrors, AnOutputThatCannotBeWrittenIsAccessDenied) {
    WriteBytes(dir.File("locked.txt"), "locked content");
    ImmutableFile locked(dir.File("locked.txt"));
    if (!locked.Ok()) GTEST_SKIP() << "making a file unwritable needs root on ext4: " << locked.Error();
    for (Mode mode : {Mode::TextToFile, Mode::FileToFile}) {
        SCOPED_TRACE(ModeName(mode));
        Prepare(mode, "in.txt", "locked.txt");
        EXPECT_TRUE(OneReport(Action(), "locked.txt", kAccessDenied));
        ExpectInputKept(mode);
        EXPECT_EQ(ReadBytes(dir.File("locked.txt")), "locked content");
    }
}

// A file that another process holds with no sharing: the sharing violation has no text
// of its own, so the report says "Unknown error!".
TEST_F(FileErrors, AFileHeldByAnotherProcessIsAnUnknownError) {
    struct Case {
        Mode mode;
        bool holdInput;  // else the output is held
    };
    for (Case c : {Case{Mode::FileToFile, true}, Case{Mode::FileToFile, false}, Case{Mode::TextToFile, false},
                   Case{Mode::FileToText, true}}) {
        const std::string held = c.holdInput ? "in.txt" : "out.txt";
        SCOPED_TRACE(std::string(ModeName(c.mode)) + ", " + held + " held");
        if (!c.holdInput) WriteBytes(dir.File("out.txt"), "held content");
        {
            HeldFile holder(dir.File(held));
            ASSERT_TRUE(holder.Held());
            Prepare(c.mode, "in.txt", "out.txt");
            EXPECT_TRUE(OneReport(Action(), held, kUnknownError));
        }
        ExpectInputKept(c.mode);
        if (c.holdInput) {
            EXPECT_FALSE(FileExists(dir.File("out.txt"))) << "no output is created";
        } else {
            EXPECT_EQ(ReadBytes(dir.File("out.txt")), "held content");
        }
        DeleteFileA(dir.File("out.txt").c_str());
    }
}

// A write that stores fewer bytes than asked is a full disk, even when the platform
// reports success: the report names the file's full path. The output that was there
// stays byte for byte, and no temporary file is left; a new output is not made at all.
TEST_F(FileErrors, AFullDiskIsReportedWithTheFullPathAndLeavesTheOutputAsItWas) {
    SmallDisk disk(dir.File("full"));
    if (!disk.Ok()) GTEST_SKIP() << "mounting a small tmpfs needs root: " << disk.Error();
    const std::string big = PatternBytes(100000, "abcdefghijklmnopqrstuvwxyz0123456789 ");
    WriteBytes(dir.File("big.txt"), big);
    for (Mode mode : {Mode::TextToFile, Mode::FileToFile}) {
        for (bool existed : {true, false}) {
            SCOPED_TRACE(std::string(ModeName(mode)) + (existed ? ", over an existing output" : ", a new output"));
            if (existed) WriteBytes(dir.File("full\\out.bin"), "the old content");
            Prepare(mode, "big.txt", "full\\.\\out.bin");
            if (mode == Mode::TextToFile) Type(IDC_INPUT, big);
            EXPECT_TRUE(OneReport(Action(), dir.File("full\\out.bin"), kUnknownError));
            EXPECT_EQ(Text(IDC_RESULT), "untouched");
            EXPECT_TRUE(ReadBytes(dir.File("big.txt")) == big);
            EXPECT_EQ(FileNames(dir.FileW(L"full\\")),
                      existed ? std::vector<std::wstring>{L"out.bin"} : std::vector<std::wstring>{});
            if (existed) {
                EXPECT_EQ(ReadBytes(dir.File("full\\out.bin")), "the old content");
            }
            DeleteFileA(dir.File("full\\out.bin").c_str());
        }
    }
}

// The same file under another spelling cannot be the output of a File-to-File run: the
// input is already held exclusively when the output is opened, so the open fails before
// the file is truncated.
TEST_F(FileErrors, TheInputUnderAnotherSpellingCannotBeTheOutput) {
    const std::string name = "the same file.txt";
    const std::string content = PatternBytes(30000, "0123456789abcdef\r\n");
    WriteBytes(dir.File(name), content);

    std::string slashes = dir.File(name);
    std::replace(slashes.begin(), slashes.end(), '\\', '/');
    std::string unixSpelling = "Z:" + UnixPath(dir.File(name));
    std::replace(unixSpelling.begin(), unixSpelling.end(), '/', '\\');
    char shortName[MAX_PATH] = {};
    GetShortPathNameA(dir.File(name).c_str(), shortName, MAX_PATH);

    struct Case {
        const char* what;
        std::string output;
    };
    const Case cases[] = {
        {"whole path", dir.File(name)},
        {"dot folder", ".\\" + name},
        {"up and down", "sub\\..\\" + name},
        {"forward slashes", slashes},
        {"the Unix drive", unixSpelling},
        {"the short name", shortName},
    };
    SetMode(Mode::FileToFile);
    Type(IDC_INPUT_PATH, name);
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.what) + ": " + c.output);
        ASSERT_NE(lstrcmpiA(c.output.c_str(), name.c_str()), 0);
        Type(IDC_OUTPUT_PATH, c.output);
        EXPECT_TRUE(OneReport(Action(), c.output, kUnknownError));
        EXPECT_TRUE(ReadBytes(dir.File(name)) == content);
    }
    EXPECT_EQ(Files(), (std::vector<std::string>{"in.txt", "sub", name}));
}

// The path boxes are read whole, however long: paths longer than 249 and 199 characters
// that the platform can open are used as typed.
TEST_F(FileErrors, LongPathsAreUsedWhole) {
    const std::string folder = dir.File(std::string(120, 'f'));
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    auto named = [&](size_t total, char fill) {
        std::string path = folder + "\\";
        return path + std::string(total - path.size() - 4, fill) + ".txt";
    };
    const std::string input = named(255, 'i'), output = named(240, 'o'), output2 = named(255, 'p');
    ASSERT_EQ(input.size(), 255u);
    WriteBytes(input, inText);
    const std::string want = Shifted(inText, "42", false);

    Prepare(Mode::FileToFile, input, output);
    EXPECT_TRUE(NoMessage(Action()));
    EXPECT_EQ(ReadBytes(output), want);

    Prepare(Mode::TextToFile, "", output2);
    EXPECT_TRUE(NoMessage(Action()));
    EXPECT_EQ(ReadBytes(output2), want);

    Prepare(Mode::FileToText, input, "");
    EXPECT_TRUE(NoMessage(Action()));
    EXPECT_EQ(Text(IDC_RESULT), want);
}

}  // namespace
