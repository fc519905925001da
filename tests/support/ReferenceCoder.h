// The reference coder the tests hold the program against, written from the definition,
// one byte at a time, independently of the program's vectorised coder.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace travok::test {

// Byte i moves up (or down, to decode) by key[j] - 48 modulo 256, where j = i mod key
// length. With restartEvery, j counts from the last multiple of restartEvery instead,
// as file runs restart the key at every chunk.
inline std::string Shifted(std::string_view bytes, std::string_view key, bool decode, size_t restartEvery = 0) {
    std::string out(bytes.size(), '\0');
    for (size_t i = 0; i < bytes.size(); ++i) {
        const size_t walked = restartEvery ? i % restartEvery : i;
        const unsigned shift = static_cast<unsigned char>(key[walked % key.size()]) - 48u;
        const unsigned byte = static_cast<unsigned char>(bytes[i]);
        out[i] = static_cast<char>((decode ? byte - shift : byte + shift) & 0xFF);
    }
    return out;
}

}  // namespace travok::test
