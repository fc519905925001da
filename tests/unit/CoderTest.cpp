// The increment key coder: the byte core, file blocks with the key restarting every
// 9990 bytes, and the BSTR operations.
#include <gtest/gtest.h>

#include <numeric>
#include <string>
#include <vector>

#include "coder/IncrementKey.h"
#include "framework/String.h"
#include "shell/Codifica.h"
#include "tests/support/ReferenceCoder.h"

using travok::Direction;

namespace {

std::string Code(Direction d, const std::string& text, const std::string& key) {
    auto out = travok::CodeText(d, text, key);
    return {out.begin(), out.end()};
}

struct Case {
    const char* what;
    std::string text, key, encoded;
    friend void PrintTo(const Case& c, std::ostream* os) { *os << c.what; }
};

const Case kCases[] = {
    {"one digit shifts every byte by it", "ABC", "1", "BCD"},
    {"several digits cycle from the first", "AAAAA", "123", "BCDBC"},
    {"a key longer than the text uses its first digits", "AB", "12345", "BD"},
    {"digit zero leaves bytes alone", "Hello", "000", "Hello"},
    {"encoding wraps past 255 to 0 and up", std::string("\xFE\xFF", 2), "3", std::string("\x01\x02", 2)},
    {"a letter in the key shifts by its code minus 48", "a", "A", std::string(1, 'a' + 17)},
    {"a key byte below '0' shifts downwards", "a", "/", "`"},
    {"line breaks are coded like any byte", "\r\n", "5", "\x12\x0F"},
    {"a zero byte ends the key", "AAA", std::string("1\0" "9", 3), "BBB"},
    {"a byte that codes to zero is kept, and so is what follows", std::string("\xFF" "A", 2), "1",
     std::string("\x00" "B", 2)},
    {"an empty text gives an empty result", "", "7", ""},
    {"an empty text with an empty key is fine", "", "", ""},
};

class CoderCases : public testing::TestWithParam<Case> {};

TEST_P(CoderCases, EncodesAndDecodesBack) {
    const Case& c = GetParam();
    SCOPED_TRACE(c.what);
    EXPECT_EQ(Code(Direction::Encode, c.text, c.key), c.encoded);
    EXPECT_EQ(Code(Direction::Decode, c.encoded, c.key), c.text);
}

INSTANTIATE_TEST_SUITE_P(Table, CoderCases, testing::ValuesIn(kCases));

TEST(Coder, DecodingWrapsBelowZeroToTheTop) {
    EXPECT_EQ(Code(Direction::Decode, std::string("\x01\x02", 2), "3"), std::string("\xFE\xFF", 2));
}

TEST(Coder, EveryByteValueRoundTripsWithEveryDigit) {
    std::string all(256, '\0');
    std::iota(all.begin(), all.end(), '\0');
    for (const std::string key : {"0", "1", "9", "1234567", "98765432109876543210"}) {
        SCOPED_TRACE(key);
        std::string coded = Code(Direction::Encode, all, key);
        EXPECT_EQ(coded, travok::test::Shifted(all, key, false));
        EXPECT_EQ(Code(Direction::Decode, coded, key), all);
    }
}

// A text of varied bytes, so that a byte coded from the wrong place shows.
std::string VariedText(size_t n) {
    std::string text(n, '\0');
    for (size_t i = 0; i < n; ++i) text[i] = static_cast<char>(i * 131 + i / 251);
    return text;
}

std::string NumericKey(size_t length) {
    std::string key;
    for (size_t i = 0; i < length; ++i) key += static_cast<char>('0' + (i * 7 + 3) % 10);
    return key;
}

// Codes n bytes of text into a buffer whose start lies `misalign` bytes past a 16-byte
// boundary, and holds it against the definition.
testing::AssertionResult CodesLikeTheDefinition(const travok::KeyCoder& coder, const std::string& key,
                                                const std::string& text, size_t n, size_t keyPos, size_t misalign,
                                                travok::VectorPath path) {
    std::vector<uint8_t> buffer(n + 64);
    uint8_t* out = buffer.data() + (32 - reinterpret_cast<uintptr_t>(buffer.data()) % 32) % 32 + misalign;
    coder.Code(reinterpret_cast<const uint8_t*>(text.data()), out, n, keyPos, path);
    std::string rotated = key.substr(keyPos % key.size()) + key.substr(0, keyPos % key.size());
    std::string expected = travok::test::Shifted(text.substr(0, n), rotated, false);
    size_t bad = 0;
    while (bad < n && out[bad] == static_cast<uint8_t>(expected[bad])) ++bad;
    if (bad == n) return testing::AssertionSuccess();
    return testing::AssertionFailure() << (path == travok::VectorPath::Avx2 ? "AVX2" : "SSE2") << ", key length " << key.size() << ", n " << n << ", key position " << keyPos
                                       << ", misalignment " << misalign << ": first wrong byte at " << bad;
}

// Every vector path this processor runs: the one Code picks, and the narrower floor
// that processors without AVX2 take.
std::vector<travok::VectorPath> PathsHere() {
    std::vector<travok::VectorPath> paths = {travok::VectorPath::Sse2};
    if (travok::ProcessorRuns(travok::VectorPath::Avx2)) paths.push_back(travok::VectorPath::Avx2);
    return paths;
}

TEST(Coder, VectorisedPathsMatchTheDefinitionAtEveryLengthKeyPositionAndAlignment) {
    // Lengths around the vector widths, the 128-byte step and the pattern length; keys of
    // many sizes; targets at several offsets from a 32-byte boundary.
    const std::string text = VariedText(5004);
    for (travok::VectorPath path : PathsHere())
        for (size_t keyLength : {1u, 2u, 7u, 16u, 17u, 200u, 4097u}) {
            const std::string key = NumericKey(keyLength);
            travok::KeyCoder coder(Direction::Encode, key);
            for (size_t n : {0u, 1u, 15u, 16u, 31u, 32u, 33u, 64u, 65u, 127u, 128u, 129u, 200u, 4095u, 4096u, 4097u, 5004u})
                for (size_t keyPos : {size_t{0}, size_t{1}, keyLength - 1})
                    for (size_t misalign : {0u, 1u, 15u, 16u, 31u})
                        ASSERT_TRUE(CodesLikeTheDefinition(coder, key, text, n, keyPos, misalign, path));
        }
}

TEST(Coder, RunsLongerThanTheCachesMatchTheDefinition) {
    // Long runs are written around the cache; their head, tail and key wraps must not move.
    const std::string text = VariedText((17u << 20) + 37);
    for (travok::VectorPath path : PathsHere())
        for (size_t keyLength : {1u, 7u, 200u}) {
            const std::string key = NumericKey(keyLength);
            ASSERT_TRUE(CodesLikeTheDefinition(travok::KeyCoder(Direction::Encode, key), key, text, text.size(), 3, 5,
                                               path));
        }
}

TEST(Coder, EmptyKeyWithTextIsRefused) {
    EXPECT_THROW(Code(Direction::Encode, "abc", ""), travok::EmptyKeyError);
}

TEST(FileBlocks, KeyRestartsAtEvery9990BytesOfTheFileWhateverTheBlocks) {
    const std::string key = "1234567";  // 9990 is not a multiple of 7: a restart shows
    const std::string file = std::string(25000, 'a');
    const std::string expected = travok::test::Shifted(file, key, false, travok::kFileChunk);
    travok::KeyCoder coder(Direction::Encode, key);
    for (size_t block : {9990u, 1000u, 9991u, 25000u, 4096u}) {
        std::string data = file;
        for (size_t offset = 0; offset < data.size(); offset += block) {
            size_t n = std::min(block, data.size() - offset);
            travok::CodeFileBlock(coder, reinterpret_cast<uint8_t*>(data.data()) + offset, n, offset);
        }
        EXPECT_EQ(data, expected) << "block size " << block;
    }
    EXPECT_EQ(expected[9989], 'a' + (9989 % 7) + 1);
    EXPECT_EQ(expected[9990], 'a' + 1);
    EXPECT_EQ(expected[19980], 'a' + 1);
}

TEST(Codifica, ReturnsEveryCodedCharacterAsABstr) {
    CBstr coded(Codifica(std::string("\xFF" "ab", 3), "1"));
    ASSERT_EQ(coded.Length(), 3u);  // the zero stays, and what follows it
    EXPECT_EQ(coded.View()[0], L'\0');
    EXPECT_EQ(coded.ToAnsi(), std::string("\0bc", 3));
    CBstr back(DeCodifica(coded.ToAnsi(), "1"));
    EXPECT_EQ(back.ToAnsi(), std::string("\xFF" "ab", 3));
}

TEST(Codifica, HighBytesComeBackUnchangedThroughTheCodePage) {
    std::string all;
    for (int b = 1; b < 256; ++b) all += static_cast<char>(b);
    CBstr coded(Codifica(all, "0"));
    EXPECT_EQ(coded.ToAnsi(), all);
}

TEST(Codifica, EmptyTextGivesAnEmptyStringNotNull) {
    CBstr coded(Codifica("", ""));
    ASSERT_NE(coded.Get(), nullptr);
    EXPECT_EQ(coded.Length(), 0u);
}

}  // namespace
