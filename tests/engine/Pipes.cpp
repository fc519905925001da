// Pipes filled and drained for the engine's runs.
#include "Pipes.h"

#include <algorithm>

namespace travok::test {

bool WriteAll(HANDLE handle, std::string_view bytes, size_t piece) {
    for (size_t done = 0; done < bytes.size();) {
        const DWORD want = static_cast<DWORD>(std::min(piece, bytes.size() - done));
        DWORD wrote = 0;
        if (!WriteFile(handle, bytes.data() + done, want, &wrote, nullptr) || wrote == 0) return false;
        done += wrote;
    }
    return true;
}

PipeFeeder::PipeFeeder(std::string bytes, size_t piece) : m_bytes(std::move(bytes)) {
    m_thread = std::thread([this, piece] {
        WriteAll(m_pipe.write.get(), m_bytes, piece);
        m_pipe.write.reset();  // the reader's end of file
    });
}

PipeFeeder::~PipeFeeder() {
    // A run that stopped early no longer reads: its closed end fails the pending write.
    m_pipe.read.reset();
    m_thread.join();
}

PipeDrain::PipeDrain(size_t limit) : m_limit(limit) {
    m_thread = std::thread([this] {
        char buffer[65536];
        while (m_bytes.size() < m_limit) {
            DWORD got = 0;
            const DWORD want = static_cast<DWORD>(std::min(sizeof buffer, m_limit - m_bytes.size()));
            if (!ReadFile(m_pipe.read.get(), buffer, want, &got, nullptr) || got == 0) break;
            m_bytes.append(buffer, got);
        }
        m_pipe.read.reset();
    });
}

PipeDrain::~PipeDrain() {
    m_pipe.write.reset();
    if (m_thread.joinable()) m_thread.join();
}

const std::string& PipeDrain::Bytes() {
    if (m_thread.joinable()) m_thread.join();
    return m_bytes;
}

}  // namespace travok::test
