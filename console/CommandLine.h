// travokc's command line: what to do, with which key, from where to where.
#pragma once

#include <optional>
#include <span>
#include <string>

#include "coder/IncrementKey.h"
#include "framework/Win.h"

namespace travok::console {

struct Request {
    enum class Action { Code, Help, Version };
    Action action = Action::Code;
    Direction direction = Direction::Encode;
    std::optional<std::wstring> key;      // -k, as typed
    std::optional<std::wstring> keyFile;  // -K
    bool text = false;                    // --text: one walk of the key over the whole input
    std::wstring input;                   // empty: standard input
    std::wstring output;                  // empty: standard output
};

// What is wrong with a command line: a message of the string table, with %1 filled.
struct UsageError {
    UINT message = 0;
    std::wstring detail;
};

// Reads the arguments after the program's name. Options may stand anywhere, "--" ends
// them, and "-" names a standard stream. --help and --version win over anything else.
// On an error, returns nothing and fills error.
std::optional<Request> ParseCommandLine(std::span<const std::wstring> args, UsageError& error);

}  // namespace travok::console
