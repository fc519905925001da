// Random texts and keys sent through CodeWithKey and then DeCodeWithKey, with the
// answers worked out from the code page's own byte table and the coder's definition.
#pragma once

#include <cstdint>
#include <string>

#include "FuzzCall.h"

namespace travok::fuzz {

// A character's byte in the code page: 0 for the zero character, '?' for a character
// the code page does not have.
unsigned char ByteOf(wchar_t c);

struct RoundTripCase {
    std::wstring text, key;  // what the client sends
    std::wstring coded;      // what CodeWithKey must answer
    std::wstring plain;      // what DeCodeWithKey of that must answer: text in the code page
};

// Mostly characters of the code page, some outside it, a few zeros; keys of 1 to 300
// digits, some with other characters.
RoundTripCase MakeRoundTrip(std::uint64_t seed, std::uint64_t index);

// Empty when both calls answer what the case says, else what went wrong.
std::string CheckRoundTrip(IDispatch* object, const RoundTripCase& c);

}  // namespace travok::fuzz
