// The speed and the time left of a run.
#include "RunProgress.h"

namespace travok {

RunFigures FiguresAt(std::uint64_t done, std::uint64_t total, std::chrono::milliseconds elapsed) {
    RunFigures figures;
    figures.done = done;
    figures.total = total;
    figures.elapsed = elapsed;
    const auto ms = static_cast<std::uint64_t>(elapsed.count() > 0 ? elapsed.count() : 0);
    if (ms) figures.bytesPerSecond = done * 1000 / ms;
    if (total && done <= total && figures.bytesPerSecond)
        figures.secondsLeft = (total - done) / figures.bytesPerSecond;
    return figures;
}

RunFigures RunProgress::Figures() const {
    return FiguresAt(done, total,
                     std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started));
}

}  // namespace travok
