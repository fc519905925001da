// Starting travokc.exe with pipes and files as its standard streams, and pumping its
// streams on threads so that no pipe fills up while the test waits.
#include "Travokc.h"

#include <gtest/gtest.h>

#include <utility>

#include "Driver.h"
#include "Pipe.h"
#include "TempFiles.h"

namespace travok::test {

namespace {

// One argument as the C runtime's parser splits it back out: in quotes, with the
// backslashes before a quote doubled.
std::wstring Quoted(const std::wstring& arg) {
    std::wstring quoted = L"\"";
    size_t backslashes = 0;
    for (wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, L'\\');
    return quoted + L"\"";
}

UniqueHandle OpenForChild(const std::wstring& path, DWORD access, DWORD creation) {
    UniqueHandle file(
        CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, creation, 0, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE) ADD_FAILURE() << "cannot open " << Utf8(path) << ": " << GetLastError();
    return file;
}

std::thread ReadAll(UniqueHandle from, std::string& into) {
    return std::thread([from = std::move(from), &into] {
        char buffer[65536];
        DWORD got = 0;
        while (ReadFile(from.get(), buffer, sizeof buffer, &got, nullptr) && got > 0) into.append(buffer, got);
    });
}

}  // namespace

std::wstring TravokcExePath() { return Wide(ExeDir() + "travokc.exe"); }

Travokc::Travokc(const std::vector<std::wstring>& args, const Streams& streams) {
    std::wstring commandLine = Quoted(streams.program.empty() ? TravokcExePath() : streams.program);
    for (const std::wstring& arg : args) commandLine += L" " + Quoted(arg);

    // The child's ends go to it; ours are the other ends, kept by the pumps.
    StdStreams child;
    UniqueHandle toInput, fromOutput, fromError;
    if (streams.inputFile.empty()) {
        Pipe in;
        child.input = std::move(in.read);
        toInput = std::move(in.write);
    } else {
        child.input = OpenForChild(streams.inputFile, GENERIC_READ, OPEN_EXISTING);
    }
    if (streams.outputFile.empty()) {
        Pipe out;
        child.output = std::move(out.write);
        fromOutput = std::move(out.read);
    } else {
        child.output = OpenForChild(streams.outputFile, streams.append ? FILE_APPEND_DATA : GENERIC_WRITE,
                                    streams.append ? OPEN_ALWAYS : CREATE_ALWAYS);
    }
    Pipe err;
    child.error = std::move(err.write);
    fromError = std::move(err.read);
    m_child = ChildProcess(std::move(commandLine), std::move(child));

    if (toInput) {
        m_feeder = std::thread([write = std::move(toInput), input = streams.input]() mutable {
            DWORD written = 0;
            for (size_t done = 0; done < input.size(); done += written) {
                const DWORD piece = static_cast<DWORD>(std::min<size_t>(input.size() - done, 1u << 20));
                if (!WriteFile(write.get(), input.data() + done, piece, &written, nullptr)) break;
            }
            write.reset();  // the end of travokc's input
        });
    }
    if (fromOutput) m_outReader = ReadAll(std::move(fromOutput), m_outcome.out);
    m_errReader = ReadAll(std::move(fromError), m_outcome.err);
}

Travokc::~Travokc() {
    // No polite step: a travokc still running here is ended at once.
    m_child.End();
    JoinPumps();
}

Outcome Travokc::Wait(DWORD timeoutMs) {
    if (!m_child) return m_outcome;
    std::optional<DWORD> code = m_child.WaitExit(timeoutMs);
    if (!code) {
        ADD_FAILURE() << "travokc did not end within " << timeoutMs << " ms";
        m_child.End();
        code = m_child.ExitCode();
    }
    m_outcome.exitCode = code.value_or(STILL_ACTIVE);
    JoinPumps();
    return m_outcome;
}

void Travokc::JoinPumps() {
    for (std::thread* pump : {&m_feeder, &m_outReader, &m_errReader})
        if (pump->joinable()) pump->join();
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    for (size_t start = 0; start < text.size();) {
        size_t end = text.find("\r\n", start);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

}  // namespace travok::test
