// The byte texts' choice of conversion, and the fixed map of the 256 byte values.
#include "ByteText.h"

#include <array>

#include "String.h"

namespace {

// Code page 1252's characters for 0x80 to 0x9F; the unassigned ones stand for themselves.
constexpr std::array<wchar_t, 32> kHigh1252 = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

// The byte of c in the fixed map, or -1 when c has none.
int FixedMapByte(wchar_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return c;
    for (size_t i = 0; i < kHigh1252.size(); ++i)
        if (kHigh1252[i] == c) return static_cast<int>(0x80 + i);
    return -1;
}

}  // namespace

bool KeepsEveryByte(UINT codePage) {
    // A multi-byte code page loses a lead byte that has no trail byte behind it.
    CPINFO info{};
    if (!GetCPInfo(codePage, &info) || info.MaxCharSize != 1) return false;
    const DWORD flags = WideToAnsiFlags(codePage);
    for (int b = 1; b < 256; ++b) {
        const char value = static_cast<char>(b);
        wchar_t c = 0;
        char back = 0;
        if (MultiByteToWideChar(codePage, 0, &value, 1, &c, 1) != 1) return false;
        if (WideCharToMultiByte(codePage, flags, &c, 1, &back, 1, nullptr, nullptr) != 1 || back != value) return false;
    }
    return true;
}

bool ByteTextUsesFixedMap() {
    static const bool fixedMap = !KeepsEveryByte(GetACP());
    return fixedMap;
}

wchar_t FixedMapCharacter(unsigned char value) {
    return value >= 0x80 && value < 0xA0 ? kHigh1252[value - 0x80] : static_cast<wchar_t>(value);
}

std::wstring BytesToWide(std::string_view bytes, bool fixedMap) {
    if (!fixedMap) return AnsiToWide(bytes);
    std::wstring text(bytes.size(), L'\0');
    for (size_t i = 0; i < bytes.size(); ++i) text[i] = FixedMapCharacter(static_cast<unsigned char>(bytes[i]));
    return text;
}

std::string WideToBytes(std::wstring_view text, bool* lost, bool fixedMap) {
    if (!fixedMap) return WideToAnsi(text, CP_ACP, lost);
    std::string bytes(text.size(), '\0');
    bool any = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const int value = FixedMapByte(text[i]);
        any = any || value < 0;
        bytes[i] = static_cast<char>(value < 0 ? '?' : value);
    }
    if (lost) *lost = any;
    return bytes;
}
