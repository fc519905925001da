// The text every front end reports a failed file operation with.
#pragma once

#include <string>

#include "framework/File.h"

namespace travok {

// "Error with '<file>' : <message for the cause>", the file named exactly as it was
// typed or chosen, the message from the string table; then, where a commit left the
// result or the old output under another name, that name.
std::wstring FileErrorText(const CFileException& e);

}  // namespace travok
