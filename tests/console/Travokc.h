// Runs the real travokc.exe from a test, with real pipes or files as its standard
// streams, and hands back its exit code and what it wrote.
#pragma once

#include <windows.h>

#include <string>
#include <thread>
#include <vector>

#include "ChildProcess.h"

namespace travok::test {

std::wstring TravokcExePath();  // travokc.exe of the same build

// What travokc reads and where it writes. By default standard input is a pipe fed with
// input and closed, standard output and error are pipes read to their end.
struct Streams {
    std::string input;
    std::wstring inputFile;   // standard input opened from this file instead
    std::wstring outputFile;  // standard output into this file instead, as "> file" does
    bool append = false;      // ... or as ">> file" does
    std::wstring program;     // another copy of travokc to start; empty: TravokcExePath()
};

// Standard input fed with input through a pipe.
inline Streams Fed(std::string input) {
    Streams streams;
    streams.input = std::move(input);
    return streams;
}
// Standard input and output as files (empty: a pipe), output appended to with append.
inline Streams Files(std::wstring inputFile, std::wstring outputFile, bool append = false) {
    Streams streams;
    streams.inputFile = std::move(inputFile);
    streams.outputFile = std::move(outputFile);
    streams.append = append;
    return streams;
}

struct Outcome {
    DWORD exitCode = 0;
    std::string out;
    std::string err;  // UTF-8, as travokc writes to a pipe
};

// One travokc process. Several may run at once: start them all, then Wait for each.
class Travokc {
public:
    Travokc(const std::vector<std::wstring>& args, const Streams& streams = {});
    ~Travokc();  // ends the process if it still runs
    Travokc(const Travokc&) = delete;
    Travokc& operator=(const Travokc&) = delete;

    // Waits for the end, at most timeoutMs; a process that does not end fails the test
    // and is ended.
    Outcome Wait(DWORD timeoutMs = 60000);

private:
    void JoinPumps();

    ChildProcess m_child;
    std::thread m_feeder, m_outReader, m_errReader;
    Outcome m_outcome;
};

inline Outcome RunTravokc(const std::vector<std::wstring>& args, const Streams& streams = {}) {
    return Travokc(args, streams).Wait();
}

// The lines of a text that ends its lines with CR LF, as travokc's messages do.
std::vector<std::string> Lines(const std::string& text);

}  // namespace travok::test
