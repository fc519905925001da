// Codifica / DeCodifica: the byte core plus the conversion of its result to a BSTR.
#include "Codifica.h"

#include <windows.h>

#include <new>

#include "IncrementKey.h"

namespace travok {

namespace {

BSTR CodeToBstr(Direction direction, std::string_view text, std::string_view key) {
    std::vector<std::uint8_t> coded = CodeText(direction, text, key);
    if (coded.empty()) {
        BSTR empty = SysAllocStringLen(nullptr, 0);
        if (!empty) throw std::bad_alloc();
        return empty;
    }
    const char* bytes = reinterpret_cast<const char*>(coded.data());
    const int n = static_cast<int>(coded.size());
    // The length is given explicitly so that zero bytes convert like any other.
    int wide = MultiByteToWideChar(CP_ACP, 0, bytes, n, nullptr, 0);
    BSTR result = SysAllocStringLen(nullptr, static_cast<UINT>(wide));
    if (!result) throw std::bad_alloc();
    MultiByteToWideChar(CP_ACP, 0, bytes, n, result, wide);
    return result;
}

}  // namespace

BSTR Codifica(std::string_view text, std::string_view key) { return CodeToBstr(Direction::Encode, text, key); }

BSTR DeCodifica(std::string_view text, std::string_view key) { return CodeToBstr(Direction::Decode, text, key); }

}  // namespace travok
