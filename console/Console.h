// Text for the user on the standard handles, and strings of the string table filled in.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

#include "framework/Win.h"

namespace travok::console {

// Whether handle is a console (and not a file, a pipe or a device such as NUL).
bool IsConsole(HANDLE handle);

// Writes text and a line break to a standard handle (STD_OUTPUT_HANDLE or
// STD_ERROR_HANDLE): as wide characters on a console, as UTF-8 to a file or a pipe, so
// that any file name a message holds arrives whole. Failures are ignored: there is
// nowhere left to report them.
void WriteLine(DWORD stdHandle, std::wstring_view text);

// String id of the string table with %1, %2... replaced by values, in order.
std::wstring Filled(UINT id, std::initializer_list<std::wstring> values);

}  // namespace travok::console
