// Parsing travokc's arguments into a request, or into the usage error they make.
#include "CommandLine.h"

#include <vector>

#include "ConsoleResource.h"
#include "framework/Path.h"
#include "res/resource.h"

namespace travok::console {

namespace {

bool Is(const std::wstring& arg, const wchar_t* word) { return arg == word; }

// Commands are words a user types: any letter case will do.
bool IsCommand(const std::wstring& arg, const wchar_t* word) {
    return CompareStringOrdinal(arg.c_str(), -1, word, -1, TRUE) == CSTR_EQUAL;
}

}  // namespace

std::optional<Request> ParseCommandLine(std::span<const std::wstring> args, UsageError& error) {
    Request request;
    bool help = false, version = false, optionsEnded = false;
    std::optional<std::wstring> command;
    std::vector<std::wstring> files;
    std::optional<UsageError> first;  // the first error, reported unless --help or --version came
    auto fail = [&](UINT message, std::wstring detail = {}) {
        if (!first) first = UsageError{message, std::move(detail)};
    };

    for (size_t i = 0; i < args.size(); ++i) {
        const std::wstring& arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != L'-') {
            if (!command) command = arg;
            else files.push_back(arg);
        } else if (Is(arg, L"--")) {
            optionsEnded = true;
        } else if (Is(arg, L"--help")) {
            help = true;
        } else if (Is(arg, L"--version")) {
            version = true;
        } else if (Is(arg, L"--text")) {
            request.text = true;
        } else if (Is(arg, L"-k") || Is(arg, L"-K")) {
            if (i + 1 == args.size()) {
                fail(IDS_CONSOLE_NO_VALUE, arg);
                break;
            }
            if (request.key || request.keyFile) fail(IDS_CONSOLE_KEY_TWICE);
            (Is(arg, L"-k") ? request.key : request.keyFile) = args[++i];
        } else {
            fail(IDS_CONSOLE_BAD_OPTION, arg);
        }
    }

    if (help || version) {
        request.action = help ? Request::Action::Help : Request::Action::Version;
        return request;
    }
    if (!command) fail(IDS_CONSOLE_NO_COMMAND);
    else if (IsCommand(*command, L"code")) request.direction = Direction::Encode;
    else if (IsCommand(*command, L"decode")) request.direction = Direction::Decode;
    else fail(IDS_CONSOLE_BAD_COMMAND, *command);
    if (files.size() > 2) fail(IDS_CONSOLE_TOO_MANY, files[2]);
    if (!request.key && !request.keyFile) fail(IDS_NO_KEY);
    if (request.key && request.key->empty()) fail(IDS_NO_KEY);
    if (first) {
        error = *first;
        return std::nullopt;
    }

    auto stream = [](const std::wstring& name) { return name == L"-" ? std::wstring() : name; };
    if (files.size() > 0) request.input = stream(files[0]);
    if (files.size() > 1) request.output = stream(files[1]);
    // As on the page: an output named as the input, ignoring case, is refused before
    // any file is opened.
    if (!request.input.empty() && !request.output.empty() && SameFileName(request.input, request.output)) {
        error = UsageError{IDS_SAME_FILE, {}};
        return std::nullopt;
    }
    return request;
}

}  // namespace travok::console
