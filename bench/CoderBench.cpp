// P1: the coder's throughput on a 256 MiB buffer, against memcpy of the same buffer.
#include <cstdint>
#include <cstring>
#include <vector>

#include "Harness.h"
#include "coder/IncrementKey.h"

using namespace travok::bench;

int main() {
    constexpr size_t kSize = 256u << 20;
    constexpr int kRuns = 7;
    std::vector<std::uint8_t> source(kSize), target(kSize);
    for (size_t i = 0; i < kSize; ++i) source[i] = static_cast<std::uint8_t>(i * 131 + 7);
    std::memset(target.data(), 1, kSize);  // touch every page before timing

    const double gb = kSize / 1e9;
    double memcpySeconds = MedianSeconds(kRuns, [&] { std::memcpy(target.data(), source.data(), kSize); });
    std::printf("P1 coder throughput, 256 MiB buffer, median of %d runs\n", kRuns);
    for (size_t digits : {1u, 7u, 200u}) {
        std::string key;
        for (size_t i = 0; i < digits; ++i) key += static_cast<char>('1' + i % 9);
        travok::KeyCoder coder(travok::Direction::Encode, key);
        double seconds = MedianSeconds(kRuns, [&] { coder.Code(source.data(), target.data(), kSize); });
        Report("P1 code, key of " + std::to_string(digits) + " digits", gb / seconds, "memcpy", gb / memcpySeconds,
               "GB/s", ">= 0.9");
    }
    return 0;
}
