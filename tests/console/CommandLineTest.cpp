// travokc's command line in this process, through the console library: what each
// accepted line asks for, and that the library's link brings the texts its errors name.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TempFiles.h"
#include "console/CommandLine.h"
#include "console/ConsoleResource.h"
#include "framework/String.h"
#include "res/resource.h"

namespace {

using travok::Direction;
using travok::console::ParseCommandLine;
using travok::console::Request;
using travok::console::UsageError;
using travok::test::Utf8;

std::string Described(const std::vector<std::wstring>& args) {
    std::string text = "travokc";
    for (const std::wstring& arg : args) text += " '" + Utf8(arg) + "'";
    return text;
}

TEST(CommandLine, AcceptedLinesAskForWhatTheySay) {
    const Request::Action code = Request::Action::Code;
    const Request::Action help = Request::Action::Help;
    const Request::Action version = Request::Action::Version;
    struct Case {
        std::vector<std::wstring> args;
        Request::Action action;
        Direction direction;
        const wchar_t* key;      // nullptr: none
        const wchar_t* keyFile;  // nullptr: none
        bool text;
        std::wstring input, output;  // empty: the standard stream
    } cases[] = {
        {{L"code", L"-k", L"4711", L"in", L"out"}, code, Direction::Encode, L"4711", nullptr, false, L"in", L"out"},
        // Commands in any letter case, options anywhere, standard streams left out.
        {{L"-K", L"k.key", L"DeCoDe"}, code, Direction::Decode, nullptr, L"k.key", false, L"", L""},
        {{L"code", L"in", L"--text", L"-k", L"1"}, code, Direction::Encode, L"1", nullptr, true, L"in", L""},
        // "-" is a standard stream; after "--" a leading "-" is part of a name.
        {{L"code", L"-k", L"1", L"-", L"out"}, code, Direction::Encode, L"1", nullptr, false, L"", L"out"},
        {{L"code", L"-k", L"1", L"--", L"-in", L"-"}, code, Direction::Encode, L"1", nullptr, false, L"-in", L""},
        // The key as typed, whatever it holds.
        {{L"code", L"-k", L"12 a"}, code, Direction::Encode, L"12 a", nullptr, false, L"", L""},
        // --help and --version win over anything else, errors included.
        {{L"code", L"-x", L"--version"}, version, Direction::Encode, nullptr, nullptr, false, L"", L""},
        {{L"--version", L"--help"}, help, Direction::Encode, nullptr, nullptr, false, L"", L""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Described(c.args));
        UsageError error;
        const std::optional<Request> request = ParseCommandLine(c.args, error);
        ASSERT_TRUE(request.has_value()) << Utf8(LoadResStringW(error.message, {error.detail}));
        EXPECT_EQ(request->action, c.action);
        if (c.action != code) continue;
        EXPECT_EQ(request->direction, c.direction);
        EXPECT_EQ(Utf8(request->key.value_or(L"(none)")), Utf8(c.key ? c.key : L"(none)"));
        EXPECT_EQ(Utf8(request->keyFile.value_or(L"(none)")), Utf8(c.keyFile ? c.keyFile : L"(none)"));
        EXPECT_EQ(request->text, c.text);
        EXPECT_EQ(Utf8(request->input), Utf8(c.input));
        EXPECT_EQ(Utf8(request->output), Utf8(c.output));
    }
}

// The console's own messages and those it shares with the page both come with the
// library: a program that links it shows texts, not empty lines.
TEST(CommandLine, ErrorsNameTheirTextsFromTheLibrarysStrings) {
    struct Case {
        std::vector<std::wstring> args;
        std::string message;
    } cases[] = {
        {{L"code", L"-k", L"1", L"-x"}, "Unknown option '-x'."},
        {{L"encode", L"-k", L"1"}, "Unknown command 'encode': say code or decode."},
        {{L"code"}, "There has to be a key number!"},
        {{L"code", L"-k", L"1", L"in.txt", L"IN.TXT"},
         "Come on man, it's not possible for the the both files to have the  same name!"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Described(c.args));
        UsageError error;
        EXPECT_FALSE(ParseCommandLine(c.args, error).has_value());
        EXPECT_EQ(Utf8(LoadResStringW(error.message, {error.detail})), c.message);
    }
}

}  // namespace
