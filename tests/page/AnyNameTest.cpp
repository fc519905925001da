// Files of any name through the real page: names outside the code page, paths longer
// than MAX_PATH, the same-name check, files dropped onto the page, and the boxes kept as
// they were when a load fails.
#include <windows.h>

#include "PageTest.h"
#include "Samples.h"

using namespace travok::test;

namespace {

using AnyName = PageTest;

const std::string kPlain = "Hello, any name!\r\n";
const std::string kKey = "31415";

// Each file operation of a run, with each name: the right file is read or written, and
// no other file appears beside it (a look-alike name would show as another file).
TEST_F(AnyName, EveryRunReadsAndWritesTheNamedFile) {
    Type(IDC_KEY, kKey);
    for (const WideSample& n : kOutsideTheCodePage) {
        SCOPED_TRACE(n.what);
        const std::wstring in = dir.FileW(n.text + L" in.txt"), out = dir.FileW(n.text + L" out.txt");
        WriteBytes(in, kPlain);

        SetMode(Mode::TextToFile);
        Type(IDC_INPUT, kPlain);
        Type(IDC_OUTPUT_PATH, out);
        EXPECT_TRUE(NoMessage(Action()));
        EXPECT_EQ(ReadBytes(out), Shifted(kPlain, kKey, false));

        SetMode(Mode::FileToText);
        Type(IDC_INPUT, "");
        Type(IDC_INPUT_PATH, in);
        EXPECT_TRUE(NoMessage(Action()));
        EXPECT_EQ(Text(IDC_RESULT), Shifted(kPlain, kKey, false));

        SetMode(Mode::FileToFile);
        Type(IDC_OUTPUT_PATH, out);
        DeleteFileW(out.c_str());
        EXPECT_TRUE(NoMessage(Action()));
        EXPECT_EQ(ReadBytes(out), Shifted(kPlain, kKey, false, kChunk));

        // The report names a missing file exactly as it was typed.
        const std::wstring missing = dir.FileW(n.text + L" missing.txt");
        Type(IDC_INPUT_PATH, missing);
        EXPECT_TRUE(OneReport(Action(), missing, kNotFound));

        EXPECT_EQ(FileNames(dir.PathW()), (std::vector<std::wstring>{n.text + L" in.txt", n.text + L" out.txt"}));
        EXPECT_EQ(ReadBytes(in), kPlain);
        DeleteFileW(in.c_str());
        DeleteFileW(out.c_str());
    }
}

// "Łodz.txt" read through the code page would be the look-alike "Lodz.txt": a run into
// the first must never touch the second.
TEST_F(AnyName, ALookAlikeNameIsAnotherFile) {
    const std::wstring lookAlike = dir.FileW(L"Lodz.txt"), named = dir.FileW(L"\u0141odz.txt");
    WriteBytes(lookAlike, "an unrelated file");
    Type(IDC_KEY, kKey);
    Type(IDC_INPUT, kPlain);
    SetMode(Mode::TextToFile);
    Type(IDC_OUTPUT_PATH, named);
    EXPECT_TRUE(NoMessage(Action()));
    EXPECT_EQ(ReadBytes(named), Shifted(kPlain, kKey, false));
    EXPECT_EQ(ReadBytes(lookAlike), "an unrelated file");

    SetMode(Mode::FileToFile);
    Type(IDC_INPUT_PATH, named);
    Type(IDC_OUTPUT_PATH, dir.FileW(L"\u0141odz.out"));
    EXPECT_TRUE(NoMessage(Action()));
    EXPECT_EQ(ReadBytes(dir.FileW(L"\u0141odz.out")), Shifted(Shifted(kPlain, kKey, false), kKey, false, kChunk));
    EXPECT_EQ(ReadBytes(lookAlike), "an unrelated file");
}

// A folder at least minLength characters deep under base, made of names outside the code
// page; returned with a final '\'.
std::wstring DeepFolder(const std::wstring& base, size_t minLength) {
    std::wstring folder = base;
    while (folder.size() < minLength) {
        folder += L"\u0141\u00f3d\u017a-\u041a\u0438\u0457\u0432-folder-of-forty-characters\\";
        CreateDirectoryW((L"\\\\?\\" + folder).c_str(), nullptr);
    }
    return folder;
}

// Paths past MAX_PATH in every operation the boxes reach (the file dialogs are left out:
// Wine's crashes on such paths). A name the system cannot take is still a bad path.
TEST_F(AnyName, PathsLongerThanMaxPathWorkInEveryOperation) {
    for (size_t length : {300u, 1100u}) {
        SCOPED_TRACE(length);
        const std::wstring folder = DeepFolder(dir.PathW(), length);
        const std::wstring in = folder + L"in.txt", out = folder + L"out.txt", key = folder + L"k.key";
        ASSERT_GT(in.size(), length);
        WriteBytes(in, kPlain);
        WriteBytes(key, "27");
        Type(IDC_KEY, "");

        EXPECT_TRUE(NoMessage(Drop({key}, IDC_KEY_GROUP)));
        EXPECT_EQ(Text(IDC_KEY), "27");

        SetMode(Mode::TextToFile);
        Type(IDC_INPUT, kPlain);
        Type(IDC_OUTPUT_PATH, out);
        EXPECT_TRUE(NoMessage(Action()));
        EXPECT_EQ(ReadBytes(out), Shifted(kPlain, "27", false));

        SetMode(Mode::FileToText);
        Type(IDC_INPUT_PATH, in);
        EXPECT_TRUE(NoMessage(Action()));
        EXPECT_EQ(Text(IDC_RESULT), Shifted(kPlain, "27", false));

        SetMode(Mode::FileToFile);
        EXPECT_TRUE(NoMessage(Action()));
        EXPECT_EQ(ReadBytes(out), Shifted(kPlain, "27", false, kChunk));

        Type(IDC_INPUT_PATH, folder + L"missing.txt");
        EXPECT_TRUE(OneReport(Action(), folder + L"missing.txt", kNotFound));
        Type(IDC_INPUT_PATH, folder + L"no folder\\in.txt");
        EXPECT_TRUE(OneReport(Action(), folder + L"no folder\\in.txt", kBadPath));
    }
}

// The same file under two names is refused only when the names are equal ignoring case,
// as the file system compares them; names that a language's rules call equal are other
// files, and the run goes ahead.
TEST_F(AnyName, OnlyNamesEqualIgnoringCaseAreTheSameFile) {
    struct Case {
        const char* what;
        std::wstring input, output;
        bool refused;
    } cases[] = {
        {"letter case", L"Data.bin", L"dATA.BIN", true},
        {"letter case outside ASCII", L"\u0141\u00f3d\u017a.bin", L"\u0142\u00d3D\u0179.BIN", true},
        {"sharp s and ss", L"stra\u00dfe.bin", L"strasse.bin", false},
        {"ae ligature and ae", L"\u00e6.bin", L"ae.bin", false},
        {"a soft hyphen", L"da\u00adta.bin", L"data.bin", false},
    };
    Type(IDC_KEY, kKey);
    SetMode(Mode::FileToFile);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::wstring in = dir.FileW(c.input), out = dir.FileW(c.output);
        WriteBytes(in, kPlain);
        Type(IDC_INPUT_PATH, in);
        Type(IDC_OUTPUT_PATH, out);
        if (c.refused) {
            EXPECT_TRUE(OneMessage(Action(), kSameName, IDI_ASTERISK));
            EXPECT_EQ(FileNames(dir.PathW()), std::vector<std::wstring>{c.input});
        } else {
            EXPECT_TRUE(NoMessage(Action()));
            EXPECT_EQ(ReadBytes(out), Shifted(kPlain, kKey, false, kChunk));
        }
        EXPECT_EQ(ReadBytes(in), kPlain);
        DeleteFileW(in.c_str());
        DeleteFileW(out.c_str());
    }
}

// One file dropped on a side fills that side and selects File there; on the key group it
// loads as a key file. Several files or a folder change nothing.
TEST_F(AnyName, ADroppedFileFillsTheSideItLandsOn) {
    const std::wstring file = dir.FileW(L"\u6f22\u5b57.txt"), key = dir.FileW(L"\u0141\u00f3d\u017a.key");
    WriteBytes(file, "x");
    WriteBytes(key, "2718");

    EXPECT_TRUE(NoMessage(Drop({file}, IDC_INPUT_GROUP)));
    EXPECT_EQ(TextW(IDC_INPUT_PATH), file);
    EXPECT_TRUE(IsChecked(Item(IDC_FROM_FILE)));
    EXPECT_FALSE(IsChecked(Item(IDC_FROM_TEXT)));

    EXPECT_TRUE(NoMessage(Drop({file}, IDC_RESULT_GROUP)));
    EXPECT_EQ(TextW(IDC_OUTPUT_PATH), file);
    EXPECT_TRUE(IsChecked(Item(IDC_TO_FILE)));
    EXPECT_FALSE(IsChecked(Item(IDC_TO_TEXT)));

    EXPECT_TRUE(NoMessage(Drop({key}, IDC_KEY_GROUP)));
    EXPECT_EQ(Text(IDC_KEY), "2718");

    // The flags follow the radios: a run now goes file to file.
    SetDecode(false);
    Type(IDC_INPUT_PATH, file);
    Type(IDC_OUTPUT_PATH, dir.FileW(L"out.txt"));
    EXPECT_TRUE(NoMessage(Action()));
    EXPECT_EQ(ReadBytes(dir.FileW(L"out.txt")), Shifted("x", "2718", false));

    const std::vector<std::string> before = Boxes();
    for (const auto& [what, files] : {std::pair{"several files", std::vector<std::wstring>{file, key}},
                                      std::pair{"a folder", std::vector<std::wstring>{dir.PathW()}}}) {
        SCOPED_TRACE(what);
        for (int side : {IDC_INPUT_GROUP, IDC_KEY_GROUP, IDC_RESULT_GROUP}) {
            EXPECT_TRUE(OneMessage(Drop(files, side), kDropOneFile, IDI_ASTERISK));
            EXPECT_EQ(Boxes(), before);
        }
    }
}

// A load that fails is reported and leaves every box as the user had it.
TEST_F(AnyName, AFailedLoadKeepsWhatTheBoxesHeld) {
    CreateDirectoryW(dir.FileW(L"folder").c_str(), nullptr);
    Type(IDC_INPUT, "typed text");
    Type(IDC_KEY, "123");
    Type(IDC_RESULT, "earlier result");
    SetMode(Mode::FileToText);
    struct Case {
        const char* what;
        std::wstring path;
        std::string message;
    } cases[] = {
        {"a missing file", dir.FileW(L"missing.txt"), kNotFound},
        {"a missing folder", dir.FileW(L"no folder\\in.txt"), kBadPath},
        {"a folder", dir.FileW(L"folder"), kAccessDenied},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Type(IDC_INPUT_PATH, c.path);
        EXPECT_TRUE(OneReport(Action(), c.path, c.message));
        EXPECT_EQ(Text(IDC_INPUT), "typed text");
        EXPECT_EQ(Text(IDC_RESULT), "earlier result");
        EXPECT_EQ(Text(IDC_KEY), "123");
    }
    // A key file that cannot be loaded keeps the key that was there.
    EXPECT_TRUE(OneReport(Drop({dir.FileW(L"gone.key")}, IDC_KEY_GROUP), dir.FileW(L"gone.key"), kNotFound));
    EXPECT_EQ(Text(IDC_KEY), "123");
}

// A key file holding more than digits loads byte for byte, and the user is told.
TEST_F(AnyName, AKeyWithOtherCharactersLoadsWholeWithANotice) {
    struct Case {
        const char* what;
        std::string bytes;
        bool notice;
    } cases[] = {
        {"digits only", "0123456789", false},
        {"an editor's line break", "4242\r\n", true},
        {"a letter", "12a", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WriteBytes(dir.FileW(L"k.key"), c.bytes);
        const std::vector<SeenBox> boxes = Drop({dir.FileW(L"k.key")}, IDC_KEY_GROUP);
        EXPECT_TRUE(c.notice ? OneMessage(boxes, kKeyNotDigits, IDI_ASTERISK) : NoMessage(boxes));
        EXPECT_EQ(Text(IDC_KEY), c.bytes);
    }
}

}  // namespace
