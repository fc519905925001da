// What each fuzz call may answer, worked out independently of the server: the error
// rules of name lookup and Invoke, VariantChangeType for arguments that are not strings,
// the code page conversion and the increment key coder by its definition.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "FuzzCall.h"

namespace travok::fuzz {

// What one call handed back.
struct Outcome {
    static constexpr DISPID kIdUntouched = 0x7777;
    static constexpr UINT kArgErrUntouched = 0xDEAD;
    static constexpr LONG kResultUntouched = 0x5EED;
    static constexpr SCODE kScodeUntouched = 0x1234;

    Outcome();
    ~Outcome();
    Outcome(const Outcome&) = delete;
    Outcome& operator=(const Outcome&) = delete;

    HRESULT hr = E_FAIL;
    VARIANT result;       // starts as VT_I4 kResultUntouched
    EXCEPINFO excepInfo;  // starts with scode kScodeUntouched
    UINT argErr = kArgErrUntouched;
    std::vector<DISPID> ids;  // starts as kIdUntouched each
};

// Makes the call on object.
void Perform(IDispatch* object, FuzzCall& call, Outcome& outcome);

struct Expectation {
    HRESULT hr = S_OK;

    bool bstrResult = false;   // S_OK of CodeWithKey / DeCodeWithKey with a result place
    std::wstring result;
    std::wstring description;  // DISP_E_EXCEPTION: what the exception information says
    SCODE scode = S_OK;
    bool argErrSet = false;    // an argument failed its conversion
    UINT argErr = 0;
    std::vector<DISPID> ids;   // GetIDsOfNames that reaches the table
};

// Must run before the call: a by-reference argument may come back changed.
Expectation Expect(const FuzzCall& call, Transport transport);

// Empty when the outcome is one the expectation allows, else what differs.
std::string Check(const FuzzCall& call, Transport transport, const Expectation& expected, const Outcome& outcome);

// The oracle's own pieces, also used by the coder property tests.
std::string ToAnsiLikeTheProgram(std::wstring_view wide);
std::wstring FromAnsi(std::string_view ansi);
// A key ends at its first zero byte.
std::string_view KeyUpToZero(std::string_view key);
// Every byte of text shifted by its key byte minus 48, modulo 256 (back, to decode).
std::string CodeByDefinition(bool encode, std::string_view text, std::string_view key);

}  // namespace travok::fuzz
