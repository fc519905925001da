// Loading a key file, and the messages for one that gives no key.
#include "KeyFile.h"

#include <algorithm>

#include "FileErrorText.h"
#include "framework/String.h"
#include "res/resource.h"

namespace travok {

LoadedKey LoadKeyFile(const std::wstring& path, std::size_t limit) {
    LoadedKey loaded;
    try {
        CFile file;
        file.Open(path, CFile::modeRead | CFile::shareExclusive | CFile::typeNoDevice);
        std::string key;
        if (ReadKey(file, key, limit)) loaded.key = std::move(key);
        else loaded.error = KeyTooLongText(limit);
        file.Close();
    } catch (const CFileException& e) {
        loaded.error = FileErrorText(e);
    }
    return loaded;
}

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
