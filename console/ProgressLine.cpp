// Formatting and drawing the progress line.
#include "ProgressLine.h"

#include <chrono>
#include <cwchar>
#include <string>

#include "Console.h"
#include "ConsoleResource.h"
#include "framework/String.h"

namespace travok::console {

namespace {

constexpr std::chrono::milliseconds kQuiet{1000};  // a run shorter than this shows no line

// In MB of 1024 KB, as Windows counts them, with one decimal.
std::wstring Bytes(std::uint64_t count) {
    wchar_t number[32] = {};
    std::swprintf(number, 32, L"%.1f", static_cast<double>(count) / (1u << 20));
    return LoadResStringW(IDS_CONSOLE_MEGABYTES, {number});
}

// 0:07, 12:34, 1:02:03.
std::wstring Clock(std::uint64_t seconds) {
    auto two = [](std::uint64_t n) { return (n < 10 ? L"0" : L"") + std::to_wstring(n); };
    const std::wstring minutesAndSeconds = two(seconds / 60 % 60) + L":" + two(seconds % 60);
    if (seconds >= 3600) return std::to_wstring(seconds / 3600) + L":" + minutesAndSeconds;
    return std::to_wstring(seconds / 60) + L":" + two(seconds % 60);
}

}  // namespace

ProgressLine::ProgressLine(const RunProgress& progress) : m_progress(progress) {
    HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
    if (IsConsole(error)) m_console = error;
}

void ProgressLine::Update() {
    if (!m_console) return;
    const RunFigures figures = m_progress.Figures();
    if (figures.elapsed < kQuiet) return;
    const std::uint64_t done = figures.done, total = figures.total;
    if (total && done <= total) {
        const std::wstring left = figures.secondsLeft ? Clock(*figures.secondsLeft) : L"?";
        Show(LoadResStringW(IDS_CONSOLE_PROGRESS,
                            {std::to_wstring(done * 100 / total), Bytes(figures.bytesPerSecond), left}));
    } else {
        Show(LoadResStringW(IDS_CONSOLE_SO_FAR, {Bytes(done), Bytes(figures.bytesPerSecond)}));
    }
}

void ProgressLine::Clear() {
    if (m_shown) Show({});
}

void ProgressLine::Show(const std::wstring& text) {
    // Back to the line's start; spaces cover what a longer line before left.
    std::wstring line = L"\r" + text;
    if (text.size() < m_shown) line += std::wstring(m_shown - text.size(), L' ') + L"\r" + text;
    DWORD written = 0;
    WriteConsoleW(m_console, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    m_shown = text.size();
}

}  // namespace travok::console
