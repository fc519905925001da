// The increment key coder on bytes: every byte shifted by one key digit, the key walked
// cyclically. No Windows headers here; the BSTR hand-over to automation clients lives
// in shell/Codifica.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string_view>
#include <vector>

namespace travok {

enum class Direction { Encode, Decode };

// The vector instructions a coder's bulk runs on: SSE2, which every processor that runs
// Travok has, or AVX2 where the processor and the system allow it.
enum class VectorPath { Sse2, Avx2 };
bool ProcessorRuns(VectorPath path);

// A key with no digits cannot code a non-empty text: there is no shift to apply.
struct EmptyKeyError : std::invalid_argument {
    EmptyKeyError() : std::invalid_argument("empty key") {}
};

// Codes byte runs with one key. Each key byte k shifts by (k - 48) mod 256, so the
// digits '0'..'9' shift by 0..9; other bytes are not rejected. A key ends at its first
// zero byte, as a key typed or loaded from a key file does. The shifts are expanded
// once into a repeating pattern whose length is a multiple of the key's, so coding is a
// plain vector add over the pattern.
class KeyCoder {
public:
    KeyCoder(Direction direction, std::string_view key);

    // Codes n bytes from in to out (they may be the same buffer). keyPos is the key
    // position of in[0]: 0 starts at the key's first digit.
    // The widest path this processor runs does the work.
    void Code(const std::uint8_t* in, std::uint8_t* out, std::size_t n, std::size_t keyPos = 0) const;
    // The same on path, which the processor must run (ProcessorRuns): the result is
    // byte for byte the same on every path.
    void Code(const std::uint8_t* in, std::uint8_t* out, std::size_t n, std::size_t keyPos, VectorPath path) const;

    std::size_t KeyLength() const { return m_keyLength; }

private:
    std::size_t m_keyLength = 0;
    std::size_t m_period = 0;             // a multiple of m_keyLength
    std::vector<std::uint8_t> m_pattern;  // the shifts repeated over m_period bytes, and a little past
};

// Files coded file to file restart the key at every kFileChunk bytes of the file.
constexpr std::size_t kFileChunk = 9990;

// Codes n bytes of a file in place; fileOffset is the offset of data[0] in the file, so
// the key restarts wherever the file offset is a multiple of kFileChunk.
void CodeFileBlock(const KeyCoder& coder, std::uint8_t* data, std::size_t n, std::uint64_t fileOffset);

// Codes n bytes of a text in place; textOffset is the offset of data[0] in the text, over
// which the key walks on without ever restarting. Offsets past 4 GiB work in a 32-bit build.
void CodeTextBlock(const KeyCoder& coder, std::uint8_t* data, std::size_t n, std::uint64_t textOffset);

// One continuous walk of the key over a whole text, starting at its first digit.
std::vector<std::uint8_t> CodeText(Direction direction, std::string_view text, std::string_view key);

}  // namespace travok
