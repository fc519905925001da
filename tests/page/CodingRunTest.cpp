// The coding run driven through the real page of the real Travok.exe: the four modes,
// the checks before a run, zero bytes, and the key restart of File-to-File runs.
#include <algorithm>
#include <thread>

#include "PageTest.h"

using namespace travok::test;

namespace {

using CodingRun = PageTest;

constexpr Mode kModes[] = {Mode::TextToText, Mode::TextToFile, Mode::FileToText, Mode::FileToFile};

TEST_F(CodingRun, TextToTextCodesAndDecodesBack) {
    Type(IDC_INPUT, "Hello, World!\r\nLine two");
    Type(IDC_KEY, "123");
    EXPECT_TRUE(NoMessage(Action()));
    EXPECT_EQ(Text(IDC_RESULT), "Igomq/!Yrsng\"\x0f\rMkqf\"wxq");

    Type(IDC_INPUT, Text(IDC_RESULT));
    Choose(IDC_DECODE);
    EXPECT_TRUE(NoMessage(Action()));
    EXPECT_EQ(Text(IDC_RESULT), "Hello, World!\r\nLine two");
}

// Every mode, both directions, against the reference coder; the boxes and files a
// mode does not use are left alone.
TEST_F(CodingRun, EachModeCodesAndDecodesLikeTheReference) {
    const std::string plain = "Hello, World!\r\nThe key walks on: 0123456789 ~{|}\r\n\tend.";
    const std::string key = "3141592";
    const std::string coded = Shifted(plain, key, false);
    ASSERT_NE(coded, plain);
    const std::string inFile = dir.File("in.txt"), outFile = dir.File("out.txt");
    Type(IDC_KEY, key);
    Type(IDC_INPUT_PATH, inFile);
    Type(IDC_OUTPUT_PATH, outFile);

    for (Mode mode : kModes) {
        for (bool decode : {false, true}) {
            SCOPED_TRACE(std::string(ModeName(mode)) + (decode ? ", Decode" : ", Code"));
            const std::string& input = decode ? coded : plain;
            const std::string& want = decode ? plain : coded;
            DeleteFileA(outFile.c_str());
            if (FromFile(mode)) WriteBytes(inFile, input);
            Type(IDC_INPUT, FromFile(mode) ? "" : input);  // an empty box is no error with a file
            Type(IDC_RESULT, "untouched");
            SetMode(mode);
            SetDecode(decode);

            EXPECT_TRUE(NoMessage(Action()));
            if (ToFile(mode)) {
                EXPECT_EQ(ReadBytes(outFile), want);
                EXPECT_EQ(Text(IDC_RESULT), "untouched");
            } else {
                EXPECT_EQ(Text(IDC_RESULT), want);
                EXPECT_FALSE(FileExists(outFile));
            }
            // File-to-Text shows the file it read in the input box.
            EXPECT_EQ(Text(IDC_INPUT), mode == Mode::FileToText ? input : (FromFile(mode) ? "" : input));
            if (FromFile(mode)) {
                EXPECT_EQ(ReadBytes(inFile), input);
            }
            EXPECT_EQ(Text(IDC_KEY), key);
        }
    }
}

// What is checked before anything is coded: an input text (only when the input is the
// text box) and a key. Where the focus ends, and that nothing is written.
TEST_F(CodingRun, MissingTextOrKeyStopsTheRunWithMessages) {
    struct Case {
        const char* what;
        Mode mode;
        const char* input;
        const char* key;
        std::vector<std::string> messages;  // in order, all with the stop icon
        int focus;                          // where the focus ends
    };
    const Case cases[] = {
        {"empty text and key", Mode::TextToText, "", "", {kNoInput, kNoKey}, IDC_KEY},
        {"empty text", Mode::TextToText, "", "12", {kNoInput}, IDC_INPUT},
        {"empty key", Mode::TextToText, "abc", "", {kNoKey}, IDC_KEY},
        {"empty text, to a file", Mode::TextToFile, "", "12", {kNoInput}, IDC_INPUT},
        {"empty text and key, to a file", Mode::TextToFile, "", "", {kNoInput, kNoKey}, IDC_KEY},
        {"empty key, file to file", Mode::FileToFile, "", "", {kNoKey}, IDC_KEY},
        {"empty key, file to text", Mode::FileToText, "", "", {kNoKey}, IDC_KEY},
    };
    const std::string inFile = dir.File("in.txt"), outFile = dir.File("out.txt");
    WriteBytes(inFile, "file text");
    Type(IDC_INPUT_PATH, inFile);
    Type(IDC_OUTPUT_PATH, outFile);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SetMode(c.mode);
        Type(IDC_INPUT, c.input);
        Type(IDC_KEY, c.key);
        Type(IDC_RESULT, "untouched");
        FocusOn(IDC_RESULT);
        ASSERT_EQ(app.Focus(), Item(IDC_RESULT));

        std::vector<SeenBox> boxes = Action();
        ASSERT_EQ(boxes.size(), c.messages.size());
        for (size_t i = 0; i < boxes.size(); ++i)
            EXPECT_TRUE(OneMessage({boxes[i]}, c.messages[i], IDI_HAND)) << "message " << i;
        EXPECT_EQ(app.Focus(), Item(c.focus));
        EXPECT_EQ(Text(IDC_RESULT), "untouched");
        EXPECT_EQ(Text(IDC_INPUT), c.input);
        EXPECT_FALSE(FileExists(outFile));
        EXPECT_EQ(ReadBytes(inFile), "file text");
    }
}

// File-to-File refuses an output path that equals the input path but for letter case,
// before any file is opened or created.
TEST_F(CodingRun, SamePathInAnotherCaseIsRefusedBeforeAnyOpen) {
    struct Case {
        std::string input, output;
    };
    WriteBytes(dir.File("Data.bin"), "keep me");
    const Case cases[] = {
        {"Data.bin", "Data.bin"},                                          // the very same string
        {"Data.bin", "dATA.BIN"},                                          // an existing file
        {dir.File("Data.bin"), dir.File("DATA.bin")},                      // whole paths
        {"missing.txt", "MISSING.TXT"},                                    // no such file: not opened
        {dir.File("no folder\\x.txt"), dir.File("NO FOLDER\\X.txt")},      // no such folder either
    };
    Type(IDC_KEY, "5");
    SetMode(Mode::FileToFile);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.input + " / " + c.output);
        Type(IDC_INPUT_PATH, c.input);
        Type(IDC_OUTPUT_PATH, c.output);
        EXPECT_TRUE(OneMessage(Action(), kSameName, IDI_ASTERISK));
        EXPECT_EQ(Files(), std::vector<std::string>{"Data.bin"});
        EXPECT_EQ(ReadBytes(dir.File("Data.bin")), "keep me");
    }
}

// A zero byte is data: files get every byte, and a text box that cannot hold one shows
// the result up to it and says so.
TEST_F(CodingRun, AResultWithAZeroByteIsKeptWholeInFilesAndCutWithNoticeInTheBox) {
    struct Case {
        const char* what;
        bool decode;
        std::string text, key;
        size_t zeroAt;  // where the coded text holds its first zero byte
    };
    const Case cases[] = {
        {"0xFD coded with 3 wraps to zero", false, "ab\xFD" "cd\r\nef", "3", 2},
        {"5 decoded with 5", true, "xyz\x05uvw", "5", 3},
        {"zero first, then more zeros", false, "\xF7tail\xF7\xF8", "98", 0},
    };
    const std::string inFile = dir.File("in.txt"), outFile = dir.File("out.bin");
    Type(IDC_INPUT_PATH, inFile);
    Type(IDC_OUTPUT_PATH, outFile);
    for (const Case& c : cases) {
        const std::string want = Shifted(c.text, c.key, c.decode);
        ASSERT_EQ(want.find('\0'), c.zeroAt) << c.what;
        for (Mode mode : kModes) {
            SCOPED_TRACE(std::string(c.what) + ", " + ModeName(mode));
            DeleteFileA(outFile.c_str());
            WriteBytes(inFile, c.text);
            Type(IDC_INPUT, FromFile(mode) ? "" : c.text);
            Type(IDC_KEY, c.key);
            Type(IDC_RESULT, "untouched");
            SetMode(mode);
            SetDecode(c.decode);

            std::vector<SeenBox> boxes = Action();
            if (ToFile(mode)) {
                EXPECT_TRUE(NoMessage(boxes));
                EXPECT_EQ(ReadBytes(outFile), want);
                EXPECT_EQ(Text(IDC_RESULT), "untouched");
            } else {
                EXPECT_TRUE(OneMessage(boxes, kResultHasZero, IDI_ASTERISK));
                EXPECT_EQ(Text(IDC_RESULT), want.substr(0, c.zeroAt));
            }
            if (mode == Mode::FileToText) {
                EXPECT_EQ(Text(IDC_INPUT), c.text);
            }
        }
    }
}

// The text boxes keep every byte but zero as it is, lone CR and LF included: a file of
// bytes 1 to 254 goes through File-to-Text and back through Text-to-Text unchanged.
TEST_F(CodingRun, TextBoxesKeepEveryNonZeroByte) {
    std::string bytes;
    for (int b = 1; b < 255; ++b) bytes += static_cast<char>(b);
    const std::string coded = Shifted(bytes, "1", false);
    ASSERT_EQ(coded.find('\0'), std::string::npos);
    WriteBytes(dir.File("bytes.bin"), bytes);
    Type(IDC_INPUT_PATH, "bytes.bin");
    Type(IDC_KEY, "1");
    SetMode(Mode::FileToText);
    EXPECT_TRUE(NoMessage(Action()));
    EXPECT_EQ(Text(IDC_INPUT), bytes);
    EXPECT_EQ(Text(IDC_RESULT), coded);

    Type(IDC_INPUT, Text(IDC_RESULT));
    SetMode(Mode::TextToText);
    SetDecode(true);
    EXPECT_TRUE(NoMessage(Action()));
    EXPECT_EQ(Text(IDC_RESULT), bytes);
}

// A zero byte in the input file does not end the input: the bytes after it are coded too.
// The input box can show it only up to that byte, and one message says so, although the
// result itself holds no zero byte.
TEST_F(CodingRun, AZeroByteInTheInputFileDoesNotEndTheInput) {
    const std::string text("ab\0cd", 5);
    WriteBytes(dir.File("in.bin"), text);
    Type(IDC_INPUT_PATH, dir.File("in.bin"));
    Type(IDC_KEY, "1");
    SetMode(Mode::FileToText);
    EXPECT_TRUE(OneMessage(Action(), kResultHasZero, IDI_ASTERISK));
    EXPECT_EQ(Text(IDC_RESULT), "bc\x01" "de");
    EXPECT_EQ(Text(IDC_INPUT), "ab");  // the box can show no more than that
}

// File-to-File restarts the key at every 9990 bytes of the file: 20000 bytes are coded
// as chunks of 9990, 9990 and 20, with the key back at its first digit at 9990 and 19980.
TEST_F(CodingRun, FileToFileRestartsTheKeyEvery9990BytesAndDecodesBack) {
    const std::string key = "3141592";  // 9990 = 1427 * 7 + 1: a continuous walk would be one digit on
    const std::string text = PatternBytes(20000, "abcdefghijklmnopqrstuvwxyz ABCDEFGHIJKLMNOPQRSTUVWXYZ.,\r\n");
    const std::string want = Shifted(text, key, false, kChunk);
    ASSERT_EQ(want.find('\0'), std::string::npos);
    ASSERT_NE(want, Shifted(text, key, false));

    WriteBytes(dir.File("plain.txt"), text);
    Type(IDC_KEY, key);
    SetMode(Mode::FileToFile);
    Type(IDC_INPUT_PATH, dir.File("plain.txt"));
    Type(IDC_OUTPUT_PATH, dir.File("coded.txt"));
    EXPECT_TRUE(NoMessage(Action()));
    const std::string coded = ReadBytes(dir.File("coded.txt"));
    ASSERT_EQ(coded.size(), text.size());
    EXPECT_TRUE(coded == want) << "first difference at byte "
                               << std::mismatch(coded.begin(), coded.end(), want.begin()).first - coded.begin();
    for (size_t restart : {size_t{0}, kChunk, 2 * kChunk}) {
        EXPECT_EQ(static_cast<unsigned char>(coded[restart]), static_cast<unsigned char>(text[restart] + 3))
            << "the key restarts at byte " << restart;
        EXPECT_EQ(static_cast<unsigned char>(coded[restart + 1]), static_cast<unsigned char>(text[restart + 1] + 1));
    }
    EXPECT_EQ(ReadBytes(dir.File("plain.txt")), text);

    SetDecode(true);
    Type(IDC_INPUT_PATH, dir.File("coded.txt"));
    Type(IDC_OUTPUT_PATH, dir.File("decoded.txt"));
    EXPECT_TRUE(NoMessage(Action()));
    EXPECT_TRUE(ReadBytes(dir.File("decoded.txt")) == text);
}

// File-to-File over files of every kind of size and content, binary included: each
// byte coded as the reference says, and decoding gives the file back exactly.
TEST_F(CodingRun, FileToFileRoundTripsAnyBytesExactly) {
    std::string allBytes;
    for (int b = 0; b < 256; ++b) allBytes += static_cast<char>(b);
    std::string allBytesTwice = allBytes;
    std::reverse(allBytesTwice.begin(), allBytesTwice.end());
    allBytesTwice = allBytes + allBytesTwice;
    struct Case {
        const char* what;
        std::string bytes;
        std::string key;
    };
    const Case cases[] = {
        {"an empty file", "", "7"},
        {"one byte", "A", "9"},
        {"every byte value", allBytes, "12"},
        {"every byte value, up and down", allBytesTwice, "5"},
        {"one byte short of a chunk", PatternBytes(kChunk - 1, allBytes, 2), "271828"},
        {"exactly one chunk", PatternBytes(kChunk, allBytes, 3), "99"},
        {"one byte past a chunk", PatternBytes(kChunk + 1, allBytes, 4), "31"},
        {"over 2 MiB of binary", PatternBytes((2u << 20) + 12345, allBytes, 5), "8675309"},
    };
    Type(IDC_INPUT_PATH, "in.bin");
    SetMode(Mode::FileToFile);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WriteBytes(dir.File("in.bin"), c.bytes);
        Type(IDC_KEY, c.key);

        SetDecode(false);
        Type(IDC_INPUT_PATH, "in.bin");
        Type(IDC_OUTPUT_PATH, "coded.bin");
        EXPECT_TRUE(NoMessage(Action()));
        EXPECT_TRUE(ReadBytes(dir.File("coded.bin")) == Shifted(c.bytes, c.key, false, kChunk));

        SetDecode(true);
        Type(IDC_INPUT_PATH, "coded.bin");
        Type(IDC_OUTPUT_PATH, "decoded.bin");
        EXPECT_TRUE(NoMessage(Action()));
        EXPECT_TRUE(ReadBytes(dir.File("decoded.bin")) == c.bytes);
        EXPECT_TRUE(ReadBytes(dir.File("in.bin")) == c.bytes);
    }
}

}  // namespace

namespace {

// The run reads, codes and writes blocks of whole key chunks on two threads; the key must
// restart at every 9990 bytes of the file wherever the blocks begin and however short a
// read is: a file over several blocks, and a pipe that delivers odd-sized pieces.
TEST_F(CodingRun, FileToFileRestartsTheKeyAcrossBlocksAndShortReads) {
    constexpr size_t kBlock = 420 * kChunk;
    const std::string key = "1234567";
    const std::string bytes = PatternBytes(3 * kBlock + 12345, "abcdefghijklmnopqrstuvwxyz", 11);
    WriteBytes(dir.File("in.bin"), bytes);
    SetMode(Mode::FileToFile);
    Type(IDC_KEY, key);
    Type(IDC_INPUT_PATH, dir.File("in.bin"));
    Type(IDC_OUTPUT_PATH, dir.File("out.bin"));
    EXPECT_TRUE(NoMessage(Action()));
    EXPECT_TRUE(ReadBytes(dir.File("out.bin")) == Shifted(bytes, key, false, kChunk)) << "from a file";

    const std::string pipe = "\\\\.\\pipe\\travok-test-" + std::to_string(GetCurrentProcessId());
    HANDLE server = CreateNamedPipeA(pipe.c_str(), PIPE_ACCESS_OUTBOUND, PIPE_TYPE_BYTE | PIPE_WAIT, 1, 65536, 65536,
                                     0, nullptr);
    ASSERT_NE(server, INVALID_HANDLE_VALUE);
    const std::string piped = bytes.substr(0, kBlock + 54321);
    std::thread feeder([&] {
        ConnectNamedPipe(server, nullptr);
        for (size_t at = 0; at < piped.size(); at += 7777) {
            DWORD written = 0;
            const DWORD piece = static_cast<DWORD>(std::min<size_t>(7777, piped.size() - at));
            if (!WriteFile(server, piped.data() + at, piece, &written, nullptr)) break;
        }
        // The writer closes its end, as a program writing into a pipe does when done.
        FlushFileBuffers(server);
        CloseHandle(server);
    });
    Type(IDC_INPUT_PATH, pipe);
    EXPECT_TRUE(NoMessage(Action()));
    feeder.join();
    EXPECT_TRUE(ReadBytes(dir.File("out.bin")) == Shifted(piped, key, false, kChunk)) << "from a pipe";
}

}  // namespace
