// The coder's string operations for automation clients: a text and a key in, the coded
// text out as a BSTR.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <string_view>

// Both take byte strings and return a new BSTR that the caller owns: Codifica's text is
// plain, in the active ANSI code page, and its result a coded text as a byte text
// (framework/ByteText.h); DeCodifica's text is coded bytes, and its result plain, in the
// code page. Every byte is coded and carried, zero bytes included: a character that
// codes to zero stays in the BSTR (its length says where it ends, not a terminator).
// Throw travok::EmptyKeyError for a non-empty text with an empty key, std::bad_alloc
// when the BSTR cannot be allocated.
BSTR Codifica(std::string_view text, std::string_view key);
BSTR DeCodifica(std::string_view text, std::string_view key);
