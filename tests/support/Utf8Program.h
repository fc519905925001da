// Copies of our programs that run with UTF-8 as their ANSI code page.
#pragma once

#include <string>

namespace travok::test {

// Copies program to copy and asks, in the copy's manifest, for UTF-8 as its ANSI code
// page, as Windows runs every program with "Use Unicode UTF-8 for worldwide language
// support" set. Returns copy; empty when the copy or its manifest cannot be made.
std::wstring CopyWithUtf8CodePage(const std::wstring& program, const std::wstring& copy);

}  // namespace travok::test
