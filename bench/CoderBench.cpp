// P1: the coder's throughput on a 256 MiB buffer, against memcpy of the same buffer.
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "Harness.h"
#include "coder/IncrementKey.h"

using namespace travok::bench;

int main() {
    NameTheBuild("coder_bench");
    constexpr size_t kSize = 256u << 20;
    constexpr int kRuns = 7;
    std::vector<std::uint8_t> source(kSize), target(kSize);
    for (size_t i = 0; i < kSize; ++i) source[i] = static_cast<std::uint8_t>(i * 131 + 7);
    std::memset(target.data(), 1, kSize);  // touch every page before timing

    // Rounds of memcpy and every key in turn, so that a busy moment of the machine
    // weighs on baseline and figures alike.
    const std::vector<size_t> digitCounts = {1, 7, 200};
    std::vector<travok::KeyCoder> coders;
    for (size_t digits : digitCounts) {
        std::string key;
        for (size_t i = 0; i < digits; ++i) key += static_cast<char>('1' + i % 9);
        coders.emplace_back(travok::Direction::Encode, key);
    }
    std::vector<std::function<void()>> runs = {[&] { std::memcpy(target.data(), source.data(), kSize); }};
    for (const travok::KeyCoder& coder : coders)
        runs.push_back([&] { coder.Code(source.data(), target.data(), kSize); });
    std::vector<double> seconds = InterleavedMedianSeconds(kRuns, runs);

    const double gb = kSize / 1e9;
    std::printf("P1 coder throughput, 256 MiB buffer, median of %d interleaved runs, %s path\n", kRuns,
                travok::ProcessorRuns(travok::VectorPath::Avx2) ? "AVX2" : "SSE2");
    for (size_t k = 0; k < digitCounts.size(); ++k)
        Report("P1 code, key of " + std::to_string(digitCounts[k]) + " digits", gb / seconds[k + 1], "memcpy",
               gb / seconds[0], "GB/s", ">= 1.0");
    return 0;
}
