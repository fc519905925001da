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
    std::wstring text = LoadResStringW(IDS_KEY_TOO_LONG);
    const std::size_t at = text.find(L"%u");
    if (at != std::wstring::npos) text.replace(at, 2, std::to_wstring(limit));
    return text;
}

}  // namespace travok
