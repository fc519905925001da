// The coder's string operations for automation clients: a text and a key in, the coded
// text out as a BSTR.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <string_view>

// Both take byte strings in the active ANSI code page and return a new BSTR that the
// caller owns. Every byte is coded and carried, zero bytes included: a character that
// codes to zero stays in the BSTR (its length says where it ends, not a terminator).
// Throw travok::EmptyKeyError for a non-empty text with an empty key, std::bad_alloc
// when the BSTR cannot be allocated.
BSTR Codifica(std::string_view text, std::string_view key);
BSTR DeCodifica(std::string_view text, std::string_view key);
