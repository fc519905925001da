// The one guard for the places no exception may cross: a window or dialog procedure,
// which Windows calls back (an exception crossing it ends the process), and the entry
// point (where it would end the program without a word).
#pragma once

#include <exception>
#include <utility>

// Reports an exception that reached such a place: running out of memory through the
// application's handler for it (CWinApp::OnOutOfMemory), anything else with its text
// in a stop box owned by the main window.
void ReportUnhandledException(std::exception_ptr error) noexcept;

// Returns what body returns; if it throws, reports the exception and returns fallback.
template <class Result, class Body>
Result CallGuarded(Result fallback, Body&& body) noexcept {
    try {
        return std::forward<Body>(body)();
    } catch (...) {
        ReportUnhandledException(std::current_exception());
        return fallback;
    }
}
