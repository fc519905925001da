// Byte core of the increment key coder, vectorised over an expanded key pattern: AVX2
// where the processor has it, SSE2 everywhere else.
#include "IncrementKey.h"

#include <cpuid.h>
#include <immintrin.h>

namespace travok {

namespace {
// Long enough that the per-wrap overhead vanishes, short enough to stay in L1.
constexpr std::size_t kPatternTarget = 4096;
// The main loops add this many bytes per step; the pattern carries as many bytes past
// its period so that a step may start anywhere in it.
constexpr std::size_t kStep = 128;
// Stores are aligned to the widest vector: 32 bytes (AVX2), which is 16-aligned too.
constexpr std::size_t kAlign = 32;
// Runs this long are larger than the caches: their results are written around the
// cache (non-temporal stores), which spares reading each target line in first. Shorter
// runs, like the file run's blocks, stay in the cache for whoever reads them next.
constexpr std::size_t kStreamFrom = 16u << 20;

// Whether the processor has AVX2 and the system saves the YMM registers across thread
// switches (XCR0 bits 1 and 2): a processor with AVX2 under a system that does not
// would fault on the first YMM instruction.
bool HasAvx2() {
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (__get_cpuid_max(0, nullptr) < 7) return false;
    __cpuid(1, eax, ebx, ecx, edx);
    const bool osSavesYmm = (ecx & bit_OSXSAVE) && (ecx & bit_AVX);
    if (!osSavesYmm) return false;
    unsigned xcr0 = 0, xcr0High = 0;
    __asm__("xgetbv" : "=a"(xcr0), "=d"(xcr0High) : "c"(0));
    if ((xcr0 & 6) != 6) return false;
    __cpuid_count(7, 0, eax, ebx, ecx, edx);
    return (ebx & bit_AVX2) != 0;
}

// The bulk of a run: whole steps from in to out, out aligned to kAlign; p is the
// pattern position of in[0], kept below period. Returns the steps' byte count.
using AddSteps = std::size_t (*)(const std::uint8_t* in, std::uint8_t* out, std::size_t n,
                                 const std::uint8_t* pattern, std::size_t& p, std::size_t period);

template <bool Stream>
std::size_t AddStepsSse2(const std::uint8_t* in, std::uint8_t* out, std::size_t n, const std::uint8_t* pattern,
                         std::size_t& p, std::size_t period) {
    std::size_t done = 0;
    for (; n - done >= kStep; done += kStep) {
        const std::uint8_t* pat = pattern + p;
        for (std::size_t j = 0; j < kStep; j += 16) {
            __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + done + j));
            __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pat + j));
            auto* target = reinterpret_cast<__m128i*>(out + done + j);
            if constexpr (Stream)
                _mm_stream_si128(target, _mm_add_epi8(a, b));
            else
                _mm_store_si128(target, _mm_add_epi8(a, b));
        }
        p += kStep;
        if (p >= period) p -= period;
    }
    if constexpr (Stream) _mm_sfence();
    return done;
}

// The same on 32-byte vectors. Compiled for AVX2 alone, so that the rest of the program
// runs on any SSE2 processor; called only where HasAvx2 holds. Every vector stays in a
// register: MinGW's GCC cannot align a 32-byte spill on the Windows stack.
template <bool Stream>
__attribute__((target("avx2"))) std::size_t AddStepsAvx2(const std::uint8_t* in, std::uint8_t* out, std::size_t n,
                                                         const std::uint8_t* pattern, std::size_t& p,
                                                         std::size_t period) {
    std::size_t done = 0;
    for (; n - done >= kStep; done += kStep) {
        const std::uint8_t* pat = pattern + p;
        for (std::size_t j = 0; j < kStep; j += 32) {
            __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + done + j));
            __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(pat + j));
            auto* target = reinterpret_cast<__m256i*>(out + done + j);
            if constexpr (Stream)
                _mm256_stream_si256(target, _mm256_add_epi8(a, b));
            else
                _mm256_store_si256(target, _mm256_add_epi8(a, b));
        }
        p += kStep;
        if (p >= period) p -= period;
    }
    if constexpr (Stream) _mm_sfence();
    return done;
}

}  // namespace

bool ProcessorRuns(VectorPath path) {
    static const bool avx2 = HasAvx2();  // asked once
    return path == VectorPath::Sse2 || avx2;
}

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
    Code(in, out, n, keyPos, ProcessorRuns(VectorPath::Avx2) ? VectorPath::Avx2 : VectorPath::Sse2);
}

void KeyCoder::Code(const std::uint8_t* in, std::uint8_t* out, std::size_t n, std::size_t keyPos,
                    VectorPath path) const {
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
    // Bytes up to the first kAlign boundary of out, so that every vector store is
    // aligned; the pattern is read at any offset, and a key wrap never breaks the stride.
    while (n > 0 && reinterpret_cast<std::uintptr_t>(out) % kAlign != 0) {
        *out = static_cast<std::uint8_t>(*in + pattern[p]);
        advance(1);
    }
    const AddSteps bulk = n < kStreamFrom ? (path == VectorPath::Avx2 ? AddStepsAvx2<false> : AddStepsSse2<false>)
                                          : (path == VectorPath::Avx2 ? AddStepsAvx2<true> : AddStepsSse2<true>);
    const std::size_t done = bulk(in, out, n, pattern, p, m_period);  // moves p on by itself
    in += done;
    out += done;
    n -= done;
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
