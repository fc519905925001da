// Reading a key file, and the message for one too long to use.
#include "KeyFile.h"

#include <algorithm>

#include "framework/String.h"
#include "res/resource.h"

namespace travok {

bool ReadKey(CFile& file, std::string& key, std::size_t limit) {
    char block[4096];
    while (UINT got = file.Read(block, sizeof block)) {
        const char* end = std::find(block, block + got, '\0');
        key.append(block, static_cast<std::size_t>(end - block));
        if (key.size() > limit) return false;
        if (end != block + got) break;
    }
    return true;
}

std::wstring KeyTooLongText(std::size_t limit) {
    // Cutting the key to fit would decode with a different key than the file holds.
    return LoadResStringW(IDS_KEY_TOO_LONG, {std::to_wstring(limit)});
}

bool HoldsOtherThanDigits(std::string_view key) {
    return std::any_of(key.begin(), key.end(), [](char c) { return c < '0' || c > '9'; });
}

}  // namespace travok
