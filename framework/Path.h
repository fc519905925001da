// Path helpers over wide names: the program's own path, the form that reaches past
// MAX_PATH, and the file-name comparison the file system itself makes.
#pragma once

#include <string>

#include "Win.h"

// The full path of module's file (the program's own for nullptr), at any length; empty
// when the system cannot say. Wide: the ANSI form turns letters outside the code page
// into "?", and such a path names no file.
std::wstring ModulePath(HMODULE module = nullptr);

// The full path as the system expands it (folder, "." and ".." resolved); empty when
// the system cannot expand it.
std::wstring FullPath(const std::wstring& path);

// The path as CreateFileW takes it at any length: a full path of MAX_PATH characters or
// more gets the "\\?\" (or "\\?\UNC\") prefix, which turns off the length limit and the
// parsing that imposes it. Shorter paths, device names ("NUL", "COM1", "\\.\...") and
// paths already prefixed come back unchanged, so they behave exactly as before. A path
// the system cannot make full comes back unchanged too: its open reports the error.
std::wstring ExtendedLengthPath(const std::wstring& path);

// Whether two names are the same file name to the file system: equal ignoring case,
// compared ordinally ("IN.txt" = "in.txt", but "straße" != "strasse", "æ" != "ae").
bool SameFileName(const std::wstring& a, const std::wstring& b);
