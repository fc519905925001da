// The ANSI conversions under the code pages users run with, UTF-8 among them, and the
// flags each code page is given.
#include <gtest/gtest.h>

#include "framework/String.h"

namespace {

std::string Hex(const std::string& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (char byte : bytes) {
        const auto b = static_cast<unsigned char>(byte);
        out += digits[b >> 4];
        out += digits[b & 15];
        out += ' ';
    }
    return out;
}

// Each text as a box, an automation name or a -k key hands it over, converted under the
// code page and back. A character the code page lacks becomes '?', never a look-alike.
TEST(AnsiConversion, TextsSurviveEveryCodePageTheyFitIn) {
    struct Case {
        UINT codePage;
        const wchar_t* what;
        std::wstring wide;
        std::string ansi;
        bool roundTrips;
    } cases[] = {
        {1252, L"a key", L"3141592", "3141592", true},
        {1252, L"Latin-1 and the euro", L"caf\u00e9 \u20ac", "caf\xe9 \x80", true},
        {1252, L"Greek capital omega, lacking", L"\u03a9hm", "?hm", false},
        {1250, L"a key", L"3141592", "3141592", true},
        {1250, L"Czech", L"\u0159\u00ed\u0161e", "\xf8\xed\x9a" "e", true},
        {1250, L"Greek capital omega, lacking", L"\u03a9hm", "?hm", false},
        {932, L"a key", L"3141592", "3141592", true},
        {932, L"Japanese", L"\u65e5\u672c", "\x93\xfa\x96\x7b", true},
        {932, L"e acute, lacking", L"caf\u00e9", "caf?", false},
        {65001, L"a key", L"3141592", "3141592", true},
        {65001, L"every script", L"caf\u00e9 \u03a9 \u65e5\u672c \u20ac", "caf\xc3\xa9 \xce\xa9 \xe6\x97\xa5\xe6\x9c\xac \xe2\x82\xac",
         true},
        {65001, L"beyond the BMP", L"\U0001f600", "\xf0\x9f\x98\x80", true},
        {65001, L"a zero character", std::wstring(L"a\0b", 3), std::string("a\0b", 3), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "code page " << c.codePage << ", " << c.what);
        const std::string ansi = WideToAnsi(c.wide, c.codePage);
        EXPECT_EQ(Hex(ansi), Hex(c.ansi));
        if (c.roundTrips) {
            EXPECT_TRUE(AnsiToWide(ansi, c.codePage) == c.wide) << "back from the code page";
        }
    }
}

// The flags are what Windows takes: it refuses WC_NO_BEST_FIT_CHARS with
// ERROR_INVALID_FLAGS for the code pages listed with WideCharToMultiByte, where Wine takes
// it, so this is where Windows' answer is checked. Every other code page keeps it.
TEST(AnsiConversion, NoBestFitOnlyWhereTheCodePageTakesIt) {
    struct Case {
        UINT codePage;
        DWORD flags;
    } cases[] = {
        {1252, WC_NO_BEST_FIT_CHARS},  {1250, WC_NO_BEST_FIT_CHARS},  {932, WC_NO_BEST_FIT_CHARS},
        {936, WC_NO_BEST_FIT_CHARS},   {20127, WC_NO_BEST_FIT_CHARS}, {50000, WC_NO_BEST_FIT_CHARS},
        {50219, WC_NO_BEST_FIT_CHARS}, {50230, WC_NO_BEST_FIT_CHARS}, {57001, WC_NO_BEST_FIT_CHARS},
        {57012, WC_NO_BEST_FIT_CHARS}, {65001, 0},                    {65000, 0},
        {54936, 0},                    {52936, 0},                    {50220, 0},
        {50225, 0},                    {50229, 0},                    {57002, 0},
        {57006, 0},                    {57011, 0},                    {42, 0},
    };
    for (const Case& c : cases) EXPECT_EQ(WideToAnsiFlags(c.codePage), c.flags) << "code page " << c.codePage;
    EXPECT_EQ(WideToAnsiFlags(CP_ACP), WideToAnsiFlags(GetACP())) << "CP_ACP is the active code page";
}

}  // namespace
