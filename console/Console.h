// Text for the user on the standard handles.
#pragma once

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

}  // namespace travok::console
