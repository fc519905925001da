// One run of travokc: the key loaded, the input coded into the output.
#pragma once

#include "CommandLine.h"

namespace travok::console {

// Exit codes.
constexpr int kDone = 0;
constexpr int kFailed = 1;      // a file or coding error, or a run stopped before the end
constexpr int kUsageError = 2;

// Prints a usage error and the short usage text to standard error; returns kUsageError.
int ReportUsageError(const UsageError& error);

// Codes request's input into its output. Messages go to standard error; returns the
// exit code.
int CodeStreams(const Request& request);

}  // namespace travok::console
