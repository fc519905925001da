// The progress of a long run on a console: one line on standard error with the
// percentage, the speed and the time left, rewritten in place.
#pragma once

#include <cstddef>

#include "engine/RunProgress.h"
#include "framework/Win.h"

namespace travok::console {

class ProgressLine {
public:
    // Shows nothing unless standard error is a console: a file or pipe gets no
    // progress lines among its messages.
    explicit ProgressLine(const RunProgress& progress);
    ~ProgressLine() { Clear(); }
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    // Shows the line once the run has lasted about a second, and refreshes it.
    void Update();
    // Removes the line, so that a message starts at the beginning of an empty one.
    void Clear();

private:
    void Show(const std::wstring& text);

    const RunProgress& m_progress;
    HANDLE m_console = nullptr;
    std::size_t m_shown = 0;  // characters of the line on the screen
};

}  // namespace travok::console
