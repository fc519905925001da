// Key files as every front end reads them: the key's bytes up to the file's first zero
// byte, refused when longer than a key may be.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "framework/File.h"

namespace travok {

// The longest key a key file may hold: as much as the page's key box takes.
constexpr std::size_t kMaxKeyLength = 4u << 20;

// What loading a key file gave: its key, or the message that says why there is none.
struct LoadedKey {
    std::optional<std::string> key;  // read whole, and no longer than the limit
    // Why there is no key: a failed open or read (the file error report's text), or a
    // key too long. A failed close after a whole read is told here beside the key.
    std::wstring error;
};

// Loads the key file named path (as typed): opened for reading, exclusively and refusing
// devices, and closed again before this returns.
LoadedKey LoadKeyFile(const std::wstring& path, std::size_t limit = kMaxKeyLength);

// Reads the key from file: its bytes up to the first zero byte or the end. Returns
// false, having read only a block past the limit, when the key is longer than limit.
bool ReadKey(CFile& file, std::string& key, std::size_t limit = kMaxKeyLength);

// The message for a key file whose key is longer than limit.
std::wstring KeyTooLongText(std::size_t limit = kMaxKeyLength);

// Whether key holds characters other than the digits 0 to 9. They shift bytes too, and
// may be a line break the user cannot see: front ends say so.
bool HoldsOtherThanDigits(std::string_view key);

}  // namespace travok
