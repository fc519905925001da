// travokc.exe from outside: coded bytes against the reference coder, the key from the
// command line and from key files, every usage and file error with its exit code, any
// file name, and outputs that a failed or stopped run leaves as they were.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <regex>

#include "PageTest.h"
#include "Travokc.h"
#include "Utf8Program.h"

namespace travok::test {
namespace {

using namespace std::string_literals;

const std::string kKey200 = PatternBytes(200, "0123456789", 7);
const std::string kUsage = "Usage: travokc code|decode (-k KEY | -K KEYFILE) [--text] [IN [OUT]]";

std::string AllByteValues(size_t n, unsigned seed) {
    std::string alphabet;
    for (int b = 0; b < 256; ++b) alphabet += static_cast<char>(b);
    return PatternBytes(n, alphabet, seed);
}

// The folder every test runs travokc in; relative names resolve against it.
class ConsoleTest : public testing::Test {
protected:
    TempDir dir;
    CurrentDirectory cwd{dir.Path()};

    std::vector<std::wstring> FilesHere() const { return FileNames(dir.PathW()); }
};

// Starts one process a case, all at once, and waits for them in order: Wine's start-up
// then costs about as much for a table as for one case.
template <class Case, class Args, class Streams>
std::vector<Outcome> RunAll(const std::vector<Case>& cases, Args args, Streams streams) {
    std::vector<std::unique_ptr<Travokc>> running;
    for (const Case& c : cases) running.push_back(std::make_unique<Travokc>(args(c), streams(c)));
    std::vector<Outcome> outcomes;
    for (auto& process : running) outcomes.push_back(process->Wait());
    return outcomes;
}

std::wstring W(const std::string& text) { return Wide(text); }

// Sizes around the key restart at 9990 bytes and keys of 1, 7 and 200 digits, each
// coded file to file and by the text walk, checked against the definition; then every
// result decoded through pipes gives the input back.
TEST_F(ConsoleTest, CodesAsDefinedAndDecodesBack) {
    struct Case {
        size_t size;
        std::string key;
        bool text;
        std::string input, coded;
    };
    std::vector<Case> cases;
    for (size_t size : {0u, 1u, 9989u, 9990u, 9991u, 20000u, 1u << 20})
        for (const std::string& key : {std::string("7"), std::string("3141592"), kKey200})
            for (bool text : {false, true}) {
                // The text walk differs from file chunks only past the first chunk.
                if (text && size <= kChunk) continue;
                cases.push_back({size, key, text, AllByteValues(size, static_cast<unsigned>(size + key.size())), {}});
            }
    for (size_t i = 0; i < cases.size(); ++i) WriteBytes(dir.File("in" + std::to_string(i)), cases[i].input);

    size_t index = 0;
    auto codeArgs = [&](const Case& c) {
        std::vector<std::wstring> args = {L"code", L"-k", W(c.key)};
        if (c.text) args.push_back(L"--text");
        const std::wstring n = std::to_wstring(index++);
        args.insert(args.end(), {L"in" + n, L"out" + n});
        return args;
    };
    std::vector<Outcome> coding = RunAll(cases, codeArgs, [](const Case&) { return Streams{}; });
    for (size_t i = 0; i < cases.size(); ++i) {
        Case& c = cases[i];
        SCOPED_TRACE(testing::Message() << c.size << " bytes, key of " << c.key.size() << (c.text ? ", --text" : ""));
        EXPECT_EQ(coding[i].exitCode, 0u) << coding[i].err;
        EXPECT_EQ(coding[i].err, "");
        EXPECT_EQ(coding[i].out, "");
        c.coded = ReadBytes(dir.File("out" + std::to_string(i)));
        EXPECT_TRUE(c.coded == Shifted(c.input, c.key, false, c.text ? 0 : kChunk)) << "coded differently";
        EXPECT_EQ(ReadBytes(dir.File("in" + std::to_string(i))), c.input) << "the input changed";
    }

    std::vector<Outcome> decoding = RunAll(
        cases,
        [](const Case& c) {
            std::vector<std::wstring> args = {L"decode", L"-k", W(c.key)};
            if (c.text) args.push_back(L"--text");
            return args;
        },
        [](const Case& c) { return Fed(c.coded); });
    for (size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(testing::Message() << cases[i].size << " bytes, key of " << cases[i].key.size()
                                        << (cases[i].text ? ", --text" : ""));
        EXPECT_EQ(decoding[i].exitCode, 0u) << decoding[i].err;
        EXPECT_TRUE(decoding[i].out == cases[i].input) << "decoded " << decoding[i].out.size() << " bytes wrongly";
    }
}

// Standard streams are binary: zero bytes, CR LF, Ctrl+Z and every other value pass.
TEST_F(ConsoleTest, EveryByteValueThroughPipes) {
    std::string input;
    for (int round = 0; round < 3; ++round)
        for (int b = 0; b < 256; ++b) input += static_cast<char>(b);
    input += "\r\n\x1a\n\r\0end"s;
    const Outcome coded = RunTravokc({L"code", L"-k", L"4711", L"-", L"-"}, Fed(input));
    EXPECT_EQ(coded.exitCode, 0u) << coded.err;
    EXPECT_TRUE(coded.out == Shifted(input, "4711", false, kChunk));
    const Outcome decoded = RunTravokc({L"decode", L"-k", L"4711"}, Fed(coded.out));
    EXPECT_TRUE(decoded.out == input);
}

// -K reads a key file as the page's Open does: its bytes up to the first zero, any
// other character kept (with a note), and codes exactly as -k with that key.
TEST_F(ConsoleTest, KeyFilesCodeAsTheKeyTheyHold) {
    struct Case {
        std::string name;
        std::string file;  // the key file's bytes
        std::string key;   // the key it holds
        bool note;         // travokc says that the key holds more than digits
    } cases[] = {
        {"k1.key", "4711", "4711", false},
        {"k2.key", "47\0" "99"s, "47", false},                   // a zero byte ends the key
        {"k3.key", "4711\r\n", "4711\r\n", true},               // an editor's line break is part of it
        {"k4.key", kKey200, kKey200, false},
    };
    const std::string input = AllByteValues(30000, 3);
    std::vector<Case> table(std::begin(cases), std::end(cases));
    for (const Case& c : table) WriteBytes(dir.File(c.name), c.file);
    std::vector<Outcome> fromFile = RunAll(
        table, [](const Case& c) { return std::vector<std::wstring>{L"code", L"-K", W(c.name)}; },
        [&](const Case&) { return Fed(input); });
    std::vector<Outcome> fromLine = RunAll(
        table, [](const Case& c) { return std::vector<std::wstring>{L"code", L"-k", W(c.key)}; },
        [&](const Case&) { return Fed(input); });
    const std::string kNote = kKeyNotDigits;
    for (size_t i = 0; i < table.size(); ++i) {
        SCOPED_TRACE(table[i].name);
        EXPECT_EQ(fromFile[i].exitCode, 0u) << fromFile[i].err;
        EXPECT_TRUE(fromFile[i].out == Shifted(input, table[i].key, false, kChunk));
        EXPECT_TRUE(fromFile[i].out == fromLine[i].out) << "-K and -k differ";
        EXPECT_EQ(Lines(fromFile[i].err), table[i].note ? std::vector<std::string>{kNote} : std::vector<std::string>{});
    }
}

// Every refusal with its exit code, its message on standard error (the page's texts for
// files and keys), nothing on standard output, and no file written.
TEST_F(ConsoleTest, ErrorsAndUsage) {
    WriteBytes(dir.File("in.txt"), "input");
    WriteBytes(dir.File("out.txt"), "kept");
    WriteBytes(dir.File("empty.key"), "");
    WriteBytes(dir.File("zero.key"), "\0" "12"s);
    WriteBytes(dir.File("long.key"), std::string((4u << 20) + 1, '5'));
    const std::string keyTooLong =
        "The key in this file is longer than the key box can hold (4194304 characters), so it was not loaded.";
    struct Case {
        std::vector<std::wstring> args;
        DWORD exitCode;
        std::vector<std::string> err;  // the lines of standard error; the usage line is added for exit code 2
    };
    const std::vector<Case> cases = {
        {{}, 2, {"Say what to do: code or decode."}},
        {{L"encode", L"-k", L"1"}, 2, {"Unknown command 'encode': say code or decode."}},
        {{L"code"}, 2, {kNoKey}},
        {{L"code", L"-k", L""}, 2, {kNoKey}},
        {{L"code", L"-k"}, 2, {"Option -k needs a value."}},
        {{L"code", L"-k", L"1", L"-x"}, 2, {"Unknown option '-x'."}},
        {{L"code", L"-k", L"1", L"-K", L"a.key"}, 2, {"Give the key once: -k KEY or -K KEYFILE."}},
        {{L"code", L"-k", L"1", L"in.txt", L"b", L"c"}, 2, {"Too many files at 'c': give at most IN and OUT."}},
        {{L"code", L"-k", L"1", L"in.txt", L"IN.TXT"}, 2, {kSameName}},
        {{L"code", L"-K", L"empty.key", L"in.txt", L"out.txt"}, 2, {kNoKey}},
        {{L"code", L"-K", L"zero.key", L"in.txt", L"out.txt"}, 2, {kNoKey}},
        {{L"code", L"-K", L"missing.key", L"in.txt", L"out.txt"}, 1, {"Error with 'missing.key' : " + kNotFound}},
        {{L"code", L"-K", L"long.key", L"in.txt", L"out.txt"}, 1, {keyTooLong}},
        {{L"code", L"-k", L"1", L"missing.txt", L"out.txt"}, 1, {"Error with 'missing.txt' : " + kNotFound}},
        {{L"code", L"-k", L"1", L"no\\in.txt", L"out.txt"}, 1, {"Error with 'no\\in.txt' : " + kBadPath}},
        {{L"code", L"-k", L"1", L"in.txt", L"no\\out.txt"}, 1, {"Error with 'no\\out.txt' : " + kBadPath}},
        {{L"code", L"-k", L"1", L"NUL", L"out.txt"}, 1, {"Error with 'NUL' : Invalid file!"}},
        {{L"code", L"-k", L"1", L"in.txt", L"NUL"}, 1, {"Error with 'NUL' : Invalid file!"}},
        {{L"code", L"-k", L"1", L"--", L"-x"}, 1, {"Error with '-x' : " + kNotFound}},
    };
    std::vector<Outcome> outcomes = RunAll(cases, [](const Case& c) { return c.args; }, [](const Case&) { return Streams{}; });
    for (size_t i = 0; i < cases.size(); ++i) {
        std::string command;
        for (const std::wstring& arg : cases[i].args) command += " '" + Utf8(arg) + "'";
        SCOPED_TRACE("travokc" + command);
        std::vector<std::string> err = cases[i].err;
        if (cases[i].exitCode == 2) err.insert(err.end(), {kUsage, "       travokc --help | --version"});
        EXPECT_EQ(outcomes[i].exitCode, cases[i].exitCode);
        EXPECT_EQ(Lines(outcomes[i].err), err);
        EXPECT_EQ(outcomes[i].out, "");
    }
    EXPECT_EQ(ReadBytes(dir.File("in.txt")), "input");
    EXPECT_EQ(ReadBytes(dir.File("out.txt")), "kept");
    EXPECT_EQ(FilesHere(), (std::vector<std::wstring>{L"empty.key", L"in.txt", L"long.key", L"out.txt", L"zero.key"}));
}

// --help and --version answer on standard output and end with 0, whatever else is there.
TEST_F(ConsoleTest, HelpAndVersion) {
    const Outcome help = RunTravokc({L"code", L"--help", L"-x"});
    EXPECT_EQ(help.exitCode, 0u);
    EXPECT_EQ(help.err, "");
    ASSERT_FALSE(Lines(help.out).empty());
    EXPECT_EQ(Lines(help.out)[0], kUsage);
    EXPECT_NE(help.out.find("Exit codes: 0 done, 1 a file or coding error, 2 a usage error."), std::string::npos);
    const Outcome version = RunTravokc({L"--version"});
    EXPECT_EQ(version.exitCode, 0u);
    EXPECT_EQ(version.out.rfind("travokc 1.", 0), 0u) << version.out;
}

// Names outside the code page, as arguments, on disk and in messages.
TEST_F(ConsoleTest, AnyFileName) {
    const std::wstring input = L"\u0141\u00f3d\u017a \u03a9\u03bc\u03ad\u03b3\u03b1 \u4e2d\u6587.txt";
    const std::wstring coded = L"\u017dlu\u0165 \U0001F511.bin";
    const std::string bytes = AllByteValues(25000, 9);
    WriteBytes(dir.FileW(input), bytes);
    const Outcome code = RunTravokc({L"code", L"-k", L"58", input, coded});
    EXPECT_EQ(code.exitCode, 0u) << code.err;
    EXPECT_TRUE(ReadBytes(dir.FileW(coded)) == Shifted(bytes, "58", false, kChunk));
    const Outcome decode = RunTravokc({L"decode", L"-k", L"58", coded});
    EXPECT_TRUE(decode.out == bytes);
    const Outcome missing = RunTravokc({L"code", L"-k", L"58", L"\u00e6\u0107" + input});
    EXPECT_EQ(missing.exitCode, 1u);
    EXPECT_EQ(Lines(missing.err), std::vector<std::string>{"Error with '" + Utf8(L"\u00e6\u0107" + input) + "' : " + kNotFound});
}

// A run that fails part-way leaves an existing output as it was and no temporary file;
// standard output redirected into a file is cut back to where the run found it. The
// read error comes from Linux's /proc/self/mem, which fails to read at offset 0.
TEST_F(ConsoleTest, FailedRunKeepsTheOutput) {
    const std::wstring unreadable = L"Z:\\proc\\self\\mem";
    WriteBytes(dir.File("out.txt"), "kept");
    WriteBytes(dir.File("redirected.txt"), "kept");
    // One after the other: each opens the input exclusively.
    const Outcome named = RunTravokc({L"code", L"-k", L"1", unreadable, L"out.txt"});
    const Outcome appended = RunTravokc({L"code", L"-k", L"1", unreadable}, Files({}, dir.FileW(L"redirected.txt"), true));
    for (const Outcome& outcome : {named, appended}) {
        EXPECT_EQ(outcome.exitCode, 1u);
        EXPECT_EQ(Lines(outcome.err), std::vector<std::string>{"Error with '' : " + kUnknownError});
    }
    EXPECT_EQ(ReadBytes(dir.File("out.txt")), "kept");
    EXPECT_EQ(ReadBytes(dir.File("redirected.txt")), "kept");
    EXPECT_EQ(FilesHere(), (std::vector<std::wstring>{L"out.txt", L"redirected.txt"}));
}

// Standard output appended to standard input's file would read its own output for ever:
// refused. Standard input and output as files work like named ones.
TEST_F(ConsoleTest, StandardStreamsAsFiles) {
    const std::string bytes = AllByteValues(30000, 5);
    WriteBytes(dir.File("in.bin"), bytes);
    Travokc loop({L"code", L"-k", L"9"},
                 Files(dir.FileW(L"in.bin"), dir.FileW(L"in.bin"), true));
    Travokc files({L"code", L"-k", L"9"}, Files(dir.FileW(L"in.bin"), dir.FileW(L"out.bin")));
    const Outcome refused = loop.Wait();
    EXPECT_EQ(refused.exitCode, 2u);
    EXPECT_EQ(Lines(refused.err).at(0), kSameName);
    EXPECT_EQ(files.Wait().exitCode, 0u);
    EXPECT_TRUE(ReadBytes(dir.File("in.bin")) == bytes);
    EXPECT_TRUE(ReadBytes(dir.File("out.bin")) == Shifted(bytes, "9", false, kChunk));
}

// Under the UTF-8 code page a key typed with letters beyond ASCII reaches the coder as
// its UTF-8 bytes, and decoding with the same key gives a UTF-8 text back. A key lost in
// the conversion would leave travokc with no key (exit code 2).
TEST_F(ConsoleTest, UnderTheUtf8CodePageATextAndAKeyRoundTrip) {
    const std::wstring program = CopyWithUtf8CodePage(TravokcExePath(), dir.PathW() + L"\\travokc-utf8.exe");
    ASSERT_FALSE(program.empty()) << "cannot give the copy its manifest: " << GetLastError();
    const std::string text = "Gr\xc3\xbc\xc3\x9f" "e \xce\xa9 \xe6\x97\xa5\xe6\x9c\xac 3141592\r\n";
    const std::wstring key = L"7\u03a9\u00e9";  // Omega is in no Western code page
    WriteBytes(dir.File("in.txt"), text);
    Streams streams;
    streams.program = program;
    const Outcome coding = RunTravokc({L"code", L"-k", key, L"in.txt", L"out.tvk"}, streams);
    ASSERT_EQ(coding.exitCode, 0u) << coding.err;
    const std::string coded = ReadBytes(dir.File("out.tvk"));
    if (coded == Shifted(text, "7?\xe9", false, kChunk)) GTEST_SKIP() << "this Wine ignores activeCodePage";
    EXPECT_TRUE(coded == Shifted(text, "7\xce\xa9\xc3\xa9", false, kChunk)) << "coded with the key's UTF-8 bytes";
    const Outcome decoding = RunTravokc({L"decode", L"-k", key, L"out.tvk", L"back.txt"}, streams);
    ASSERT_EQ(decoding.exitCode, 0u) << decoding.err;
    EXPECT_TRUE(ReadBytes(dir.File("back.txt")) == text);
}

// Ctrl+C (SIGINT under Wine) while travokc waits for more input: the run stops, the
// output keeps what it held, and no temporary file stays. travokc is started from a Linux
// shell, which can send the signal to exactly the process it started.
// travokc.exe started from a Linux shell script, for what only Linux can do: send a
// signal to exactly the process it started, or give it a terminal. The script runs in
// a fresh folder, $exe is travokc, and its output comes back as lines, the folder (as a
// Windows path) first.
class ShellScript {
public:
    explicit ShellScript(const std::string& body) {
        char prefix[MAX_PATH] = {}, display[64] = {};
        const std::string exeDir = ExeDir();
        if (!GetEnvironmentVariableA("WINEPREFIX", prefix, MAX_PATH) ||
            !GetEnvironmentVariableA("DISPLAY", display, 64) || exeDir.rfind("Z:\\", 0) != 0) {
            m_skip = "needs Wine's WINEPREFIX and DISPLAY, and the build on drive Z:";
            return;
        }
        std::string exe = exeDir.substr(2) + "travokc.exe";
        std::replace(exe.begin(), exe.end(), '\\', '/');
        const std::string script = "export WINEPREFIX='" + std::string(prefix) + "' DISPLAY='" + display +
                                   "'\nexe='" + exe + "'\n"
                                   "d=$(mktemp -d /tmp/travokc-test.XXXXXX) && cd \"$d\" || exit 1\n"
                                   "echo \"$d\"\n" + body;
        m_code = RunUnix(script, &m_output);
        for (size_t start = 0, end; start < m_output.size(); start = end + 1) {
            end = m_output.find('\n', start);
            if (end == std::string::npos) end = m_output.size();
            m_lines.push_back(m_output.substr(start, end - start));
        }
        if (!m_lines.empty()) {
            m_unixFolder = m_lines[0];
            m_folder = "Z:" + m_lines[0] + "/";
            std::replace(m_folder.begin(), m_folder.end(), '/', '\\');
        }
    }
    ~ShellScript() {
        if (!m_unixFolder.empty()) RunUnix("rm -rf '" + m_unixFolder + "'");
    }
    ShellScript(const ShellScript&) = delete;
    ShellScript& operator=(const ShellScript&) = delete;

    const std::string& Skip() const { return m_skip; }
    // Whether the script ended well and printed the folder and lines more lines.
    testing::AssertionResult Ran(size_t lines) const {
        if (m_code == 0 && m_lines.size() == lines + 1) return testing::AssertionSuccess();
        return testing::AssertionFailure() << "the script ended with " << m_code << " and printed:\n" << m_output;
    }
    const std::vector<std::string>& Lines() const { return m_lines; }
    const std::string& Folder() const { return m_folder; }

private:
    std::string m_skip, m_output, m_unixFolder, m_folder;
    std::vector<std::string> m_lines;
    int m_code = -1;
};

// Ctrl+C during a run leaves the output as it was, also when it ends the input too, as
// it does a console read on Windows, or the producer of `producer | travokc`: the signal
// and the close of the pipe's last writer come together, and the run is still stopped,
// never taken as finished. The stop comes once the temporary output holds all that was
// sent.
TEST(ConsoleStop, CtrlCLeavesTheOutputAsItWas) {
    struct Case {
        const char* what;
        const char* ends;      // IN and OUT on travokc's command line, with redirects
        const char* together;  // the signal and the close, in either order
    } cases[] = {
        {"a named pipe that stays open", "in.fifo out.bin", "kill -INT $a"},
        {"a named pipe, the end first", "in.fifo out.bin", "exec 3>&-; kill -INT $a"},
        {"a named pipe, the signal first", "in.fifo out.bin", "kill -INT $a; exec 3>&-"},
        {"standard input, the end first", "- out.bin <in.fifo", "exec 3>&-; kill -INT $a"},
        {"standard input, the signal first", "- out.bin <in.fifo", "kill -INT $a; exec 3>&-"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        // Opened read-write, the pipe opens at once for travokc too: the open is made by
        // the wineserver, which would wait there for a writer.
        ShellScript shell(
            "mkfifo in.fifo; exec 3<>in.fifo\n"
            "printf kept > out.bin\n"
            "\"$TRAVOK_WINE\" \"$exe\" code -k 7 "s + c.ends + " 2>err.txt & a=$!\n"
            "head -c 3000000 /dev/zero >&3\n"
            "for i in $(seq 400); do\n"
            "  [ \"$(cat ~travok-*.tmp 2>/dev/null | wc -c)\" = 3000000 ] && break\n"
            "  sleep 0.05\n"
            "done\n"
            + c.together + "\n"
            "wait $a; echo $?\n");
        if (!shell.Skip().empty()) GTEST_SKIP() << shell.Skip();
        ASSERT_TRUE(shell.Ran(1));
        const std::string folder = shell.Folder();
        EXPECT_EQ(shell.Lines()[1], "1") << "exit code";
        const std::string kept = ReadBytes(folder + "out.bin");
        EXPECT_TRUE(kept == "kept") << "the output holds " << kept.size() << " bytes";
        EXPECT_EQ(Lines(ReadBytes(folder + "err.txt")), std::vector<std::string>{"Stopped before the end."});
        EXPECT_EQ(FileNames(Wide(folder)), (std::vector<std::wstring>{L"err.txt", L"in.fifo", L"out.bin"}));
    }
}

// On a terminal (a console to Wine), a run that lasts over a second shows one line on
// standard error with the percentage, the speed and the time left. The run lasts as long
// as the script waits to read its output from a pipe.
TEST(ConsoleProgress, ALongRunShowsPercentSpeedAndTimeLeft) {
    ShellScript shell(
        // Opened read-write, the pipe opens at once for travokc too, and fills up.
        "head -c 5000000 /dev/zero > in.bin; mkfifo out.fifo; exec 4<>out.fifo\n"
        // Wine's console on a terminal needs standard output on it too.
        "TERM=xterm script -qfc \"$TRAVOK_WINE '$exe' code -k 7 in.bin out.fifo\" terminal.txt >/dev/null &\n"
        "for i in $(seq 400); do grep -q ' left' terminal.txt 2>/dev/null && break; sleep 0.05; done\n"
        "head -c 5000000 <&4 | wc -c; wait\n");
    if (!shell.Skip().empty()) GTEST_SKIP() << shell.Skip();
    ASSERT_TRUE(shell.Ran(1));
    EXPECT_EQ(shell.Lines()[1], "5000000") << "bytes coded";
    // Wine draws the console on the terminal with escape sequences of its own; the
    // line's text is there as written. Nothing is written yet, so the time left is "?".
    const std::string terminal = ReadBytes(shell.Folder() + "terminal.txt");
    EXPECT_TRUE(std::regex_search(terminal, std::regex("[0-9]{1,3}%  [0-9]+\\.[0-9] MB per second  ([0-9]+:[0-9]{2}|\\?) left")))
        << terminal;
}

}  // namespace
}  // namespace travok::test
