// Byte core of the increment key coder, SSE2-vectorised over an expanded key pattern.
#include "IncrementKey.h"

#include <emmintrin.h>

namespace travok {

namespace {
// Long enough that the per-wrap overhead vanishes, short enough to stay in L1.
constexpr std::size_t kPatternTarget = 4096;
// The main loop adds this many bytes per step; the pattern carries as many bytes past
// its period so that a step may start anywhere in it.
constexpr std::size_t kStep = 64;
constexpr std::size_t kAlign = 16;
// Runs this long are larger than the caches: their results are written around the
// cache (non-temporal stores), which spares reading each target line in first. Shorter
// runs, like the file run's blocks, stay in the cache for whoever reads them next.
constexpr std::size_t kStreamFrom = 16u << 20;

template <bool Stream>
inline void AddStep(const std::uint8_t* in, std::uint8_t* out, const std::uint8_t* pat) {
    for (std::size_t j = 0; j < kStep; j += 16) {
        __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + j));
        __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pat + j));
        auto* target = reinterpret_cast<__m128i*>(out + j);
        if constexpr (Stream)
            _mm_stream_si128(target, _mm_add_epi8(a, b));
        else
            _mm_store_si128(target, _mm_add_epi8(a, b));
    }
}
}  // namespace

KeyCoder::KeyCoder(Direction direction, std::string_view key) {
    key = key.substr(0, key.find('\0'));  // a key ends at its first zero byte
    m_keyLength = key.size();
    if (key.empty()) return;
    std::size_t repeats = key.size() >= kPatternTarget ? 1 : (kPatternTarget + key.size() - 1) / key.size();
    m_period = key.size() * repeats;
    m_pattern.resize(m_period + kStep);
    for (std::size_t i = 0; i < m_pattern.size(); ++i) {
        auto shift = static_cast<std::uint8_t>(static_cast<std::uint8_t>(key[i % key.size()]) - 48);
        m_pattern[i] = direction == Direction::Decode ? static_cast<std::uint8_t>(-shift) : shift;
    }
}

void KeyCoder::Code(const std::uint8_t* in, std::uint8_t* out, std::size_t n, std::size_t keyPos) const {
    if (n == 0) return;
    if (m_keyLength == 0) throw EmptyKeyError();
    const std::uint8_t* pattern = m_pattern.data();
    std::size_t p = keyPos % m_keyLength;
    auto advance = [&](std::size_t count) {
        in += count;
        out += count;
        n -= count;
        p += count;
        if (p >= m_period) p -= m_period;
    };
    // Bytes up to the first 16-byte boundary of out, so that every vector store is
    // aligned; the pattern is read at any offset, and a key wrap never breaks the stride.
    while (n > 0 && reinterpret_cast<std::uintptr_t>(out) % kAlign != 0) {
        *out = static_cast<std::uint8_t>(*in + pattern[p]);
        advance(1);
    }
    if (n >= kStreamFrom) {
        for (; n >= kStep; advance(kStep)) AddStep<true>(in, out, pattern + p);
        _mm_sfence();
    }
    for (; n >= kStep; advance(kStep)) AddStep<false>(in, out, pattern + p);
    for (; n > 0; advance(1)) *out = static_cast<std::uint8_t>(*in + pattern[p]);
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

void CodeTextBlock(const KeyCoder& coder, std::uint8_t* data, std::size_t n, std::uint64_t textOffset) {
    if (n == 0) return;
    if (coder.KeyLength() == 0) throw EmptyKeyError();
    coder.Code(data, data, n, static_cast<std::size_t>(textOffset % coder.KeyLength()));
}

std::vector<std::uint8_t> CodeText(Direction direction, std::string_view text, std::string_view key) {
    std::vector<std::uint8_t> out(text.size());
    KeyCoder(direction, key).Code(reinterpret_cast<const std::uint8_t*>(text.data()), out.data(), text.size());
    return out;
}

}  // namespace travok
