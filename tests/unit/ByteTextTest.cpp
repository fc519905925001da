// Byte texts: which code pages keep every byte, the fixed map used where one does not,
// and the lost-character answer of the code page conversion.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "framework/ByteText.h"
#include "framework/String.h"

namespace {

// The choice for each code page that users run with. The end-to-end tests run only the
// code pages a locale gives under Wine; this table covers the rest, UTF-8 among them.
TEST(ByteText, FixedMapOnlyWhereTheCodePageLosesBytes) {
    struct Case {
        UINT codePage;
        const char* what;
        bool keepsEveryByte;
    } cases[] = {
        {1252, "Western, with five unassigned bytes", true},
        {1250, "Central European", true},
        {1251, "Cyrillic", true},
        {1253, "Greek, with unassigned bytes", true},
        {1254, "Turkish", true},
        {1255, "Hebrew, with unassigned bytes", true},
        {1256, "Arabic", true},
        {1257, "Baltic", true},
        {1258, "Vietnamese", true},
        {874, "Thai, with unassigned bytes", true},
        {932, "Japanese, double-byte", false},
        {936, "Simplified Chinese, double-byte", false},
        {949, "Korean, double-byte", false},
        {950, "Traditional Chinese, double-byte", false},
        {65001, "UTF-8", false},
        {12345, "no such code page", false},
    };
    for (const Case& c : cases) EXPECT_EQ(KeepsEveryByte(c.codePage), c.keepsEveryByte) << c.codePage << " " << c.what;
    EXPECT_EQ(ByteTextUsesFixedMap(), !KeepsEveryByte(GetACP())) << "the active code page decides";
}

// The map gives every byte a character of its own, and each is the one code page 1252
// gives it, so a coded text reads the same on every system.
TEST(ByteText, FixedMapIsCodePage1252OneToOne) {
    std::set<wchar_t> seen;
    for (int b = 0; b < 256; ++b) {
        const char value = static_cast<char>(b);
        wchar_t in1252 = 0;
        ASSERT_EQ(MultiByteToWideChar(1252, 0, &value, 1, &in1252, 1), 1);
        EXPECT_EQ(FixedMapCharacter(static_cast<unsigned char>(b)), in1252) << "byte " << b;
        seen.insert(FixedMapCharacter(static_cast<unsigned char>(b)));
    }
    EXPECT_EQ(seen.size(), 256u);
    for (wchar_t unassigned : {L'\x81', L'\x8d', L'\x8f', L'\x90', L'\x9d'}) EXPECT_TRUE(seen.count(unassigned));
}

TEST(ByteText, EveryByteComesBackThroughEitherWay) {
    std::string all;
    for (int b = 1; b < 256; ++b) all += static_cast<char>(b);
    for (bool fixedMap : {true, false}) {
        SCOPED_TRACE(fixedMap ? "fixed map" : "code page");
        if (!fixedMap && !KeepsEveryByte(GetACP())) continue;  // this code page cannot
        bool lost = true;
        const std::wstring wide = BytesToWide(all, fixedMap);
        EXPECT_EQ(WideToBytes(wide, &lost, fixedMap), all);
        EXPECT_FALSE(lost);
    }
}

TEST(ByteText, ACharacterOutsideTheFixedMapIsToldAndBecomesAQuestionMark) {
    struct Case {
        const char* what;
        std::wstring text;
        std::string bytes;
        bool lost;
    } cases[] = {
        {"ASCII", L"Az09", "Az09", false},
        {"the euro and an unassigned byte", L"\u20ac\u0081", "\x80\x81", false},
        {"Greek capital omega", L"a\u03a9b", "a?b", true},
        {"a zero character is a byte", std::wstring(L"a\0b", 3), std::string("a\0b", 3), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        bool lost = !c.lost;
        EXPECT_EQ(WideToBytes(c.text, &lost, true), c.bytes);
        EXPECT_EQ(lost, c.lost);
    }
}

// The code page conversion says when a character became '?', for UTF-8 too, where
// WideCharToMultiByte's own used-default answer is refused.
TEST(ByteText, CodePageConversionTellsALostCharacter) {
    struct Case {
        UINT codePage;
        const char* what;
        std::wstring text;
        bool lost;
    } cases[] = {
        {1252, "Latin-1", L"caf\u00e9", false},
        {1252, "a question mark of its own", L"why?", false},
        {1252, "Greek capital omega", L"\u03a9", true},
        {1252, "a combining accent", L"e\u0301", true},
        {1250, "Czech", L"\u0159", false},
        {932, "Japanese", L"\u65e5\u672c", false},
        {932, "Thai", L"\u0e01", true},
        {65001, "every script", L"\u0e01\u65e5\U0001f600", false},
        {65001, "a lone surrogate", L"a\xd800", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.codePage << " " << c.what);
        bool lost = !c.lost;
        WideToAnsi(c.text, c.codePage, &lost);
        EXPECT_EQ(lost, c.lost);
    }
}

}  // namespace
