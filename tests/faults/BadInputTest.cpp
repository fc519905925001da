// Bad input at the coding page: names that are no usable file, key files whose bytes
// are not digits, and input files that change size while a run reads them.
#include <windows.h>

#include <thread>

#include "DialogDriver.h"
#include "PageOperations.h"
#include "PageTest.h"

using namespace travok::test;

namespace {

const std::string kInvalidFile = "Invalid file!";

// Printable text whose coding with a digit key stays printable.
const std::string kTextBytes = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 .,;:!?\r\n";

// The first drive letter with no drive behind it, as "Q:"; empty when all are taken.
std::string MissingDrive() {
    const DWORD drives = GetLogicalDrives();
    for (char letter = 'Q'; letter <= 'Y'; ++letter)
        if (!(drives & (1u << (letter - 'A')))) return std::string(1, letter) + ":";
    return {};
}

class BadInput : public PageTest {
protected:
    const std::string key = "271828";
    const std::string inText = PatternBytes(25000, kTextBytes, 5);

    void SetUp() override {
        WriteBytes(dir.File("in.txt"), inText);
        ASSERT_TRUE(CreateDirectoryA(dir.File("sub").c_str(), nullptr));
        Type(IDC_KEY, key);
    }

    // Key load or save through its file dialog, confirming when a save dialog asks
    // whether to replace what is there; returns the boxes the handler showed after it.
    std::vector<SeenBox> ThroughFileDialog(int button, const std::string& path) const {
        return ChooseInFileDialog(app, Item(button), path,
                                  button == IDC_SAVE_KEY ? OverwritePrompt::IfAny : OverwritePrompt::None);
    }

    // Runs op with path as the file it opens; the other file, if any, is a good one.
    std::vector<SeenBox> Attempt(Op op, const std::string& path) const {
        const bool fileInput = op == Op::InputToText || op == Op::InputToFile || op == Op::OutputFromFile;
        const bool fileOutput = op == Op::InputToFile || op == Op::OutputFromText || op == Op::OutputFromFile;
        switch (op) {
        case Op::KeyLoad: return ThroughFileDialog(IDC_OPEN_KEY, path);
        case Op::KeySave: return ThroughFileDialog(IDC_SAVE_KEY, path);
        default: break;
        }
        Choose(fileInput ? IDC_FROM_FILE : IDC_FROM_TEXT);
        Choose(fileOutput ? IDC_TO_FILE : IDC_TO_TEXT);
        Type(IDC_INPUT, fileInput ? "" : inText);
        Type(IDC_RESULT, "untouched");
        Type(IDC_INPUT_PATH, op == Op::InputToText || op == Op::InputToFile ? path : dir.File("in.txt"));
        Type(IDC_OUTPUT_PATH, op == Op::OutputFromText || op == Op::OutputFromFile ? path : dir.File("out.txt"));
        return Action();
    }
};

// Names that cannot be opened as a file, or that open a device instead of one (NUL
// discards what is written, reading COM1 never ends, Z:\dev\zero never runs dry).
// Each is reported by name, for reading and for writing, and no file appears or changes.
TEST_F(BadInput, NamesThatAreNoFileAreReportedAndNothingIsWritten) {
    const std::string drive = MissingDrive();
    ASSERT_FALSE(drive.empty()) << "every drive letter is taken";
    struct Case {
        const char* what;
        std::string path;
        const std::string& message;
    };
    const Case cases[] = {
        {"'<' in the name", dir.File("a<b.txt"), kBadPath},
        {"'>' in the name", dir.File("a>b.txt"), kBadPath},
        {"'|' in the name", dir.File("a|b.txt"), kBadPath},
        {"'?' in the name", dir.File("a?b.txt"), kBadPath},
        {"'*' in the name", dir.File("a*b.txt"), kBadPath},
        {"'\"' in the name", dir.File("a\"b.txt"), kBadPath},
        {"a control character in the name", dir.File("a\x01" "b.txt"), kBadPath},
        {"a tab in the name", dir.File("a\tb.txt"), kBadPath},
        {"a file used as a folder", dir.File("in.txt\\x.txt"), kBadPath},
        {"a folder", dir.File("sub"), kAccessDenied},
        {"a folder, with a final backslash", dir.File("sub\\"), kAccessDenied},
        // Wine says "file not found" here; Windows, and the program, "bad path".
        {"a missing drive", drive + "\\x.txt", kBadPath},
        {"a missing drive, relative to it", drive + "x.txt", kBadPath},
        {"the NUL device", "nul", kInvalidFile},
        {"the NUL device with an extension", dir.File("nul.txt"), kInvalidFile},
        {"the console", "con", kInvalidFile},
        {"a serial port", "com1", kInvalidFile},
        {"AUX", "aux", kInvalidFile},
        {"a Linux device without end", "Z:\\dev\\zero", kInvalidFile},
        {"a Linux device that keeps nothing", "Z:\\dev\\null", kInvalidFile},
    };
    const auto filesBefore = Files();
    for (Op op : {Op::InputToText, Op::InputToFile, Op::OutputFromText, Op::OutputFromFile}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.what) + " as the " + OpName(op) + ": " + c.path);
            EXPECT_TRUE(OneReport(Attempt(op, c.path), c.path, c.message));
            EXPECT_EQ(Text(IDC_RESULT), "untouched");
            EXPECT_TRUE(ReadBytes(dir.File("in.txt")) == inText);
            EXPECT_EQ(Files(), filesBefore) << "a file appeared";
        }
    }
    // After all that, a run still works.
    EXPECT_TRUE(NoMessage(Attempt(Op::InputToFile, dir.File("in.txt"))));
    EXPECT_TRUE(ReadBytes(dir.File("out.txt")) == Shifted(inText, key, false, kChunk));
}

// A pipe is no device: a run writes its result into one, for the reader at its other end.
TEST_F(BadInput, ARunWritesItsResultIntoAPipe) {
    const std::string name = "\\\\.\\pipe\\travok-faults-" + std::to_string(GetCurrentProcessId());
    HANDLE pipe = CreateNamedPipeA(name.c_str(), PIPE_ACCESS_INBOUND, PIPE_TYPE_BYTE | PIPE_WAIT, 1, 0, 65536, 0,
                                   nullptr);
    ASSERT_NE(pipe, INVALID_HANDLE_VALUE) << "error " << GetLastError();
    std::string received;
    std::thread reader([&] {
        if (!ConnectNamedPipe(pipe, nullptr) && GetLastError() != ERROR_PIPE_CONNECTED) return;
        char buffer[4096];
        DWORD got = 0;
        while (ReadFile(pipe, buffer, sizeof buffer, &got, nullptr) && got > 0) received.append(buffer, got);
    });
    EXPECT_TRUE(NoMessage(Attempt(Op::OutputFromFile, name)));
    // Should the run not have connected, a client of our own lets the reader go.
    HANDLE client = CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (client != INVALID_HANDLE_VALUE) CloseHandle(client);
    reader.join();
    CloseHandle(pipe);
    EXPECT_TRUE(received == Shifted(inText, key, false, kChunk)) << "received " << received.size() << " bytes";
}

// The key files meet devices too: the file dialogs hand such names over as they are.
TEST_F(BadInput, KeyFilesThatAreDevicesAreReported) {
    struct Case {
        const char* what;
        std::string path;
        bool save;  // a save dialog would add ".key" to a name without extension
    };
    const Case cases[] = {
        {"the NUL device", dir.File("nul.key"), true},
        {"a serial port", dir.File("com1.key"), true},
        {"a Linux device without end", "Z:\\dev\\zero", false},
    };
    for (Op op : {Op::KeyLoad, Op::KeySave}) {
        for (const Case& c : cases) {
            if (op == Op::KeySave && !c.save) continue;
            SCOPED_TRACE(std::string(c.what) + " as the " + OpName(op) + ": " + c.path);
            Type(IDC_KEY, key);
            std::vector<SeenBox> boxes = Attempt(op, c.path);
            // The dialog returns its own spelling of a device's name: only the message counts.
            ASSERT_EQ(boxes.size(), 1u);
            EXPECT_EQ(boxes[0].caption, "Error Travok");
            EXPECT_TRUE(boxes[0].text.rfind("Error with '", 0) == 0 && boxes[0].text.ends_with("' : " + kInvalidFile))
                << boxes[0].text;
            EXPECT_EQ(Text(IDC_KEY), key);
        }
    }
    WriteBytes(dir.File("good.key"), "31");
    EXPECT_TRUE(NoMessage(Attempt(Op::KeyLoad, dir.File("good.key"))));
    EXPECT_EQ(Text(IDC_KEY), "31");
}

// A key file's bytes are not checked: each byte is a key digit worth its code minus 48,
// modulo 256, in every kind of run.
TEST_F(BadInput, KeyFileBytesThatAreNoDigitsLoadAndCodeAsTheCoderDefines) {
    std::string everyByte;
    for (int b = 1; b < 256; ++b) everyByte += static_cast<char>(b);
    struct Case {
        const char* what;
        std::string key;
    };
    const Case cases[] = {
        {"every byte but zero, in order", everyByte},
        {"every byte but zero, backwards", std::string(everyByte.rbegin(), everyByte.rend())},
        {"a line break inside", "12\r\n34"},
        {"letters and a space", "a Z"},
        {"code page 1252 letters and its unused codes", "\xE9\x81\x8D\x8F\x90\x9D\xFF"},
        {"a tab, then digits", "\t9"},
        {"below '0': shifts that wrap", "/!"},
    };
    const std::string text = PatternBytes(12000, kTextBytes, 9);
    WriteBytes(dir.File("text.txt"), text);
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string keyFile = dir.File(std::string("k").append(std::to_string(++n)).append(".key"));
        WriteBytes(keyFile, c.key);
        Type(IDC_KEY, "555");
        ASSERT_TRUE(OneMessage(Attempt(Op::KeyLoad, keyFile), kKeyNotDigits, IDI_ASTERISK));
        ASSERT_TRUE(Text(IDC_KEY) == c.key) << "the key box does not hold the file's bytes";

        // Text in, file out: the whole text with one walk of the key.
        Choose(IDC_FROM_TEXT);
        Choose(IDC_TO_FILE);
        Type(IDC_INPUT, text);
        Type(IDC_OUTPUT_PATH, dir.File("coded.bin"));
        EXPECT_TRUE(NoMessage(Action()));
        EXPECT_TRUE(ReadBytes(dir.File("coded.bin")) == Shifted(text, c.key, false)) << "Text-to-File";

        // File to file, the key restarting at each chunk; decoding brings the text back.
        Choose(IDC_FROM_FILE);
        Type(IDC_INPUT_PATH, dir.File("text.txt"));
        EXPECT_TRUE(NoMessage(Action()));
        EXPECT_TRUE(ReadBytes(dir.File("coded.bin")) == Shifted(text, c.key, false, kChunk)) << "File-to-File";
        Choose(IDC_DECODE);
        Type(IDC_INPUT_PATH, dir.File("coded.bin"));
        Type(IDC_OUTPUT_PATH, dir.File("decoded.txt"));
        EXPECT_TRUE(NoMessage(Action()));
        EXPECT_TRUE(ReadBytes(dir.File("decoded.txt")) == text) << "decoding File-to-File";
        Choose(IDC_CODE);
    }
}

// An input file that grows or shrinks while it is read (eiofs's files say one size and
// give another): each run codes exactly the bytes it read, with the key restarting at
// the same places as for a file that stays put, and shows or writes all of them.
TEST_F(BadInput, AnInputFileThatChangesSizeWhileReadIsCodedAsRead) {
    EioMount eio(dir.File("eio"));
    if (!eio.Ok()) GTEST_SKIP() << "eiofs cannot be mounted: " << eio.Error();
    struct Case {
        const char* what;
        const char* name;
        size_t says, gives;
    };
    const Case cases[] = {
        {"grows", "grows.bin", 5000, 30000},
        {"shrinks", "shrinks.bin", 30000, 12000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = dir.File("eio\\" + std::string(c.name));
        WIN32_FILE_ATTRIBUTE_DATA info{};
        ASSERT_TRUE(GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &info));
        ASSERT_EQ(info.nFileSizeLow, c.says);
        const std::string read = EioFsBytes(c.gives);

        EXPECT_TRUE(NoMessage(Attempt(Op::InputToFile, path)));
        EXPECT_TRUE(ReadBytes(dir.File("out.txt")) == Shifted(read, key, false, kChunk)) << "File-to-File";

        EXPECT_TRUE(NoMessage(Attempt(Op::InputToText, path)));
        EXPECT_TRUE(Text(IDC_INPUT) == read) << "File-to-Text shows " << Text(IDC_INPUT).size() << " bytes";
        EXPECT_TRUE(Text(IDC_RESULT) == Shifted(read, key, false)) << "File-to-Text";
    }
}

}  // namespace
