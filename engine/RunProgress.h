// How far a run is, shared between the run and whoever watches it, and the figures that
// every progress display shows: the speed so far and the time left at that speed.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>

namespace travok {

// A run's figures at one moment.
struct RunFigures {
    std::uint64_t done = 0;   // bytes written so far
    std::uint64_t total = 0;  // the input's size, 0 when it was not known beforehand
    std::chrono::milliseconds elapsed{0};
    std::uint64_t bytesPerSecond = 0;  // 0 until a millisecond has passed
    // At the speed so far; none while that speed is 0, without a total, or past it (a
    // file that grew while it was read).
    std::optional<std::uint64_t> secondsLeft;
};

// The figures of a run that has written done bytes of total in elapsed.
RunFigures FiguresAt(std::uint64_t done, std::uint64_t total, std::chrono::milliseconds elapsed);

// What a run shares with whoever watches it, from any thread.
struct RunProgress {
    std::atomic<std::uint64_t> done{0};  // bytes written so far
    // The input's size when known before the run, else 0; set by a run that opens its
    // input on its own thread.
    std::atomic<std::uint64_t> total{0};
    std::atomic<bool> cancel{false};     // set by the watcher: the run stops at its next block
    // When the run was set up; its speed is reckoned from here.
    const std::chrono::steady_clock::time_point started = std::chrono::steady_clock::now();

    RunFigures Figures() const;
};

}  // namespace travok
