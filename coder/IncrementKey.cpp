// Byte core of the increment key coder, SSE2-vectorised over an expanded key pattern.
#include "IncrementKey.h"

#include <emmintrin.h>

namespace travok {

namespace {
// Long enough that the per-wrap overhead vanishes, short enough to stay in L1.
constexpr std::size_t kPatternTarget = 4096;
}

KeyCoder::KeyCoder(Direction direction, std::string_view key) : m_keyLength(key.size()) {
    if (key.empty()) return;
    std::size_t repeats = key.size() >= kPatternTarget ? 1 : (kPatternTarget + key.size() - 1) / key.size();
    m_pattern.resize(key.size() * repeats);
    for (std::size_t i = 0; i < key.size(); ++i) {
        auto shift = static_cast<std::uint8_t>(static_cast<std::uint8_t>(key[i]) - 48);
        if (direction == Direction::Decode) shift = static_cast<std::uint8_t>(-shift);
        for (std::size_t r = 0; r < repeats; ++r) m_pattern[r * key.size() + i] = shift;
    }
}

void KeyCoder::Code(const std::uint8_t* in, std::uint8_t* out, std::size_t n, std::size_t keyPos) const {
    if (n == 0) return;
    if (m_keyLength == 0) throw EmptyKeyError();
    const std::size_t period = m_pattern.size();
    std::size_t p = keyPos % m_keyLength;
    while (n > 0) {
        std::size_t run = period - p < n ? period - p : n;
        const std::uint8_t* pat = m_pattern.data() + p;
        std::size_t i = 0;
        for (; i + 16 <= run; i += 16) {
            __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
            __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pat + i));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_add_epi8(a, b));
        }
        for (; i < run; ++i) out[i] = static_cast<std::uint8_t>(in[i] + pat[i]);
        in += run;
        out += run;
        n -= run;
        p = 0;
    }
}

void CodeFileBlock(const KeyCoder& coder, std::uint8_t* data, std::size_t n, std::uint64_t fileOffset) {
    std::size_t done = 0;
    while (done < n) {
        auto inChunk = static_cast<std::size_t>((fileOffset + done) % kFileChunk);
        std::size_t run = kFileChunk - inChunk < n - done ? kFileChunk - inChunk : n - done;
        coder.Code(data + done, data + done, run, inChunk);
        done += run;
    }
}

std::vector<std::uint8_t> CodeText(Direction direction, std::string_view text, std::string_view key) {
    std::vector<std::uint8_t> out(text.size());
    KeyCoder(direction, key).Code(reinterpret_cast<const std::uint8_t*>(text.data()), out.data(), text.size());
    return out;
}

}  // namespace travok
