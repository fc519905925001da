// A small benchmark harness: wall-clock timing, medians, and the one-line report
// that compares a figure with its baseline measured in the same run.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace travok::bench {

inline double Seconds() {
    static const double frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return static_cast<double>(f.QuadPart);
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) / frequency;
}

// The median duration in seconds of runs calls of run.
inline double MedianSeconds(int runs, const std::function<void()>& run) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        double start = Seconds();
        run();
        times.push_back(Seconds() - start);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// The median duration in seconds of each of runs, timed in rounds that call each
// once, in order.
inline std::vector<double> InterleavedMedianSeconds(int rounds, const std::vector<std::function<void()>>& runs) {
    std::vector<std::vector<double>> times(runs.size());
    for (int r = 0; r < rounds; ++r) {
        for (size_t i = 0; i < runs.size(); ++i) {
            double start = Seconds();
            runs[i]();
            times[i].push_back(Seconds() - start);
        }
    }
    std::vector<double> medians;
    for (std::vector<double>& t : times) {
        std::sort(t.begin(), t.end());
        medians.push_back(t[t.size() / 2]);
    }
    return medians;
}

// The first line of every bench program: which build it measures, since figures of the
// i686 and x86_64 builds differ.
inline void NameTheBuild(const char* program) {
    std::printf("%s, %s build (%s)\n", program, sizeof(void*) == 8 ? "x86_64" : "i686",
                sizeof(void*) == 8 ? "PE32+" : "PE32");
    std::fflush(stdout);
}

// Prints one figure: ours, the baseline measured in the same run, and ours/baseline.
// The goal says which side of the ratio is good.
inline void Report(const std::string& figure, double ours, const std::string& baselineName, double baseline,
                   const std::string& unit, const std::string& goal) {
    std::printf("%-44s %10.3f %-6s | %-26s %10.3f %-6s | ratio %6.3f  (goal %s)\n", figure.c_str(), ours,
                unit.c_str(), baselineName.c_str(), baseline, unit.c_str(), ours / baseline, goal.c_str());
    std::fflush(stdout);
}

}  // namespace travok::bench
