// The increment key coder over random data: decoding what was coded gives it back, for
// every byte value and key lengths 1 to 300, through the byte core, file blocks at
// random offsets and the BSTR operations; each result also matches the definition.
#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <string>

#include "FuzzOracle.h"
#include "FuzzRun.h"
#include "RoundTrip.h"
#include "shell/Codifica.h"
#include "coder/IncrementKey.h"

using namespace travok::fuzz;
using travok::Direction;

namespace {

constexpr std::uint64_t kSeed = 4711;

std::uint8_t* Bytes(std::string& s) { return reinterpret_cast<std::uint8_t*>(s.data()); }

// A key of m bytes: digits, or (for some keys) any byte but zero, which would end the
// key; each shifts by its code minus 48.
std::string RandomKey(Rng& r, size_t m) {
    std::string key(m, '0');
    const bool anyByte = r.OneIn(3);
    for (char& k : key) k = static_cast<char>(anyByte ? 1 + r.Below(255) : '0' + r.Below(10));
    return key;
}

// Every byte value at least once, in random order, then random bytes.
std::string EveryByte(Rng& r, size_t extra) {
    std::string text(256, '\0');
    std::iota(text.begin(), text.end(), '\0');
    for (size_t i = text.size() - 1; i > 0; --i) std::swap(text[i], text[r.Below(static_cast<std::uint32_t>(i + 1))]);
    for (size_t i = 0; i < extra; ++i) text += static_cast<char>(r.Below(256));
    return text;
}

// The key walked from keyPos: what coding from that position must use.
std::string Rotated(const std::string& key, size_t keyPos) {
    const size_t p = keyPos % key.size();
    return key.substr(p) + key.substr(0, p);
}

TEST(CoderProperties, EveryByteWithEveryKeyLengthComesBackThroughTheByteCore) {
    const RunOptions options = Options(kSeed, 0);
    std::printf("coder byte core: seed %llu, key lengths 1..300\n", static_cast<unsigned long long>(options.seed));
    for (size_t m = 1; m <= 300; ++m) {
        Rng r(CallSeed(options.seed, m));
        const std::string key = RandomKey(r, m);
        const std::string text = EveryByte(r, r.Below(1200));
        SCOPED_TRACE("seed " + std::to_string(options.seed) + ", key length " + std::to_string(m));

        std::vector<std::uint8_t> coded = travok::CodeText(Direction::Encode, text, key);
        ASSERT_EQ(std::string(coded.begin(), coded.end()), CodeByDefinition(true, text, key));
        std::vector<std::uint8_t> back =
            travok::CodeText(Direction::Decode, std::string(coded.begin(), coded.end()), key);
        ASSERT_EQ(std::string(back.begin(), back.end()), text);

        // From any key position, in place, on any part of the text.
        const size_t keyPos = r.Below(100000);
        const size_t from = r.Below(static_cast<std::uint32_t>(text.size()));
        const size_t n = r.Below(static_cast<std::uint32_t>(text.size() - from + 1));
        std::string part = text.substr(from, n);
        travok::KeyCoder(Direction::Encode, key).Code(Bytes(part), Bytes(part), n, keyPos);
        ASSERT_EQ(part, CodeByDefinition(true, text.substr(from, n), Rotated(key, keyPos)))
            << "key position " << keyPos << ", " << n << " bytes";
        travok::KeyCoder(Direction::Decode, key).Code(Bytes(part), Bytes(part), n, keyPos);
        ASSERT_EQ(part, text.substr(from, n));
    }
}

// The key restarts wherever the file offset is a multiple of 9990.
std::string FileByDefinition(bool encode, const std::string& data, const std::string& key, std::uint64_t base) {
    std::string out(data.size(), '\0');
    for (size_t i = 0; i < data.size(); ++i) {
        const size_t keyPos = static_cast<size_t>((base + i) % travok::kFileChunk) % key.size();
        out[i] = CodeByDefinition(encode, data.substr(i, 1), key.substr(keyPos, 1))[0];
    }
    return out;
}

// Cuts data into random blocks and codes each at its own file offset.
void CodeInBlocks(Rng& r, const travok::KeyCoder& coder, std::string& data, std::uint64_t base) {
    size_t done = 0;
    while (done < data.size()) {
        size_t block;
        switch (r.Below(4)) {
        case 0: block = travok::kFileChunk; break;
        case 1: block = 1 + r.Below(16); break;
        case 2: block = 1 << 20; break;
        default: block = 1 + r.Below(30000); break;
        }
        block = std::min(block, data.size() - done);
        travok::CodeFileBlock(coder, Bytes(data) + done, block, base + done);
        done += block;
    }
}

TEST(CoderProperties, FileBlocksAtRandomOffsetsRestartTheKeyEvery9990Bytes) {
    const RunOptions options = Options(kSeed, 0);
    std::printf("coder file blocks: seed %llu, 60 files\n", static_cast<unsigned long long>(options.seed));
    for (std::uint64_t i = 0; i < 60; ++i) {
        Rng r(CallSeed(options.seed, 1000 + i));
        SCOPED_TRACE("seed " + std::to_string(options.seed) + ", file " + std::to_string(i));
        const std::string key = RandomKey(r, 1 + r.Below(300));
        // Files that start anywhere, past 4 GiB too, and that end on or beside a restart.
        std::uint64_t base = r.OneIn(3) ? 0 : r.Next() >> r.Between(20, 40);
        if (r.OneIn(4)) base = base / travok::kFileChunk * travok::kFileChunk + travok::kFileChunk - 1 - r.Below(3);
        size_t size = r.Below(50000);
        if (r.OneIn(4)) size = travok::kFileChunk * (1 + r.Below(3)) + r.Below(3) - 1;
        const std::string file = EveryByte(r, size);

        std::string coded = file;
        CodeInBlocks(r, travok::KeyCoder(Direction::Encode, key), coded, base);
        ASSERT_EQ(coded, FileByDefinition(true, file, key, base)) << "file offset " << base;
        CodeInBlocks(r, travok::KeyCoder(Direction::Decode, key), coded, base);
        ASSERT_EQ(coded, file) << "file offset " << base;
    }
}

std::wstring WideOf(const std::string& bytes) {
    std::wstring wide;
    for (char b : bytes) wide += b ? CodePageTable()[static_cast<unsigned char>(b) - 1] : L'\0';
    return wide;
}

std::wstring Take(BSTR s) {
    std::wstring text(s ? s : L"", SysStringLen(s));
    SysFreeString(s);
    return text;
}

TEST(CoderProperties, BstrOperationsCarryEveryCodedByteZerosIncluded) {
    const RunOptions options = Options(kSeed, 2000);
    std::printf("coder BSTR operations: seed %llu, %llu texts\n", static_cast<unsigned long long>(options.seed),
                static_cast<unsigned long long>(options.calls));
    std::uint64_t withZero = 0;
    for (std::uint64_t i = options.first; i < options.first + options.calls; ++i) {
        Rng r(CallSeed(options.seed, 5000 + i));
        const std::string key = RandomKey(r, 1 + r.Below(300));
        std::string text = EveryByte(r, r.Below(3000)).substr(r.Below(256));
        // Bytes that code to zero, here and there: a zero in the coded text ends nothing.
        for (auto zeros = r.Below(4); zeros > 0 && !text.empty(); --zeros) {
            const size_t at = r.Below(static_cast<std::uint32_t>(text.size()));
            text[at] = static_cast<char>(48 - static_cast<unsigned char>(key[at % key.size()]));
        }
        SCOPED_TRACE("seed " + std::to_string(options.seed) + ", text " + std::to_string(i));
        const std::string coded = CodeByDefinition(true, text, key);
        if (coded.find('\0') != std::string::npos) ++withZero;

        // Each coded byte is one character of the code page, a zero byte the zero character.
        const std::wstring codedWide = Take(Codifica(text, key));
        ASSERT_EQ(codedWide, WideOf(coded));
        std::string codedBytes;
        for (wchar_t c : codedWide) codedBytes += static_cast<char>(ByteOf(c));
        ASSERT_EQ(codedBytes, coded);
        ASSERT_EQ(Take(DeCodifica(codedBytes, key)), WideOf(text));
    }
    // The zero-byte property was exercised, not only stated.
    if (options.calls >= 200) {
        EXPECT_GT(withZero, options.calls / 4);
    }
}

TEST(CoderProperties, BstrOperationsAtTheEdges) {
    struct Case {
        const char* what;
        std::string text, key;
        bool refused;
        std::string coded;
    };
    const Case cases[] = {
        {"empty text, empty key", "", "", false, ""},
        {"empty text, a key", "", "123", false, ""},
        {"a text and an empty key has no shift", "abc", "", true, ""},
        {"a zero byte in the text is coded too", std::string("a\0b", 3), "1", false, std::string("b\x01" "c", 3)},
        {"a zero byte ends the key", "aaa", std::string("1\0" "2", 3), false, "bbb"},
        {"a key that starts with a zero byte is empty", "\x40", std::string("\0" "5", 2), true, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        for (bool encode : {true, false}) {
            auto op = encode ? Codifica : DeCodifica;
            const std::string& input = encode || c.refused ? c.text : c.coded;
            if (c.refused) {
                EXPECT_THROW(op(input, c.key), travok::EmptyKeyError);
                continue;
            }
            BSTR result = op(input, c.key);
            ASSERT_NE(result, nullptr) << "an empty result is an empty string, not a null one";
            EXPECT_EQ(Take(result), WideOf(encode ? c.coded : c.text));
        }
    }
}

}  // namespace
