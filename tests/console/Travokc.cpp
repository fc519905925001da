// Starting travokc.exe with inheritable pipe and file handles, and pumping its streams
// on threads so that no pipe fills up while the test waits.
#include "Travokc.h"

#include <gtest/gtest.h>

#include "Driver.h"
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

struct Pipe {
    HANDLE read = nullptr, write = nullptr;
};

Pipe MakePipe(bool childReads) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    Pipe pipe;
    if (!CreatePipe(&pipe.read, &pipe.write, &inherit, 0)) ADD_FAILURE() << "CreatePipe: " << GetLastError();
    // Only the child's end is inherited, or the child would hold our end open too.
    SetHandleInformation(childReads ? pipe.write : pipe.read, HANDLE_FLAG_INHERIT, 0);
    return pipe;
}

HANDLE OpenInherited(const std::wstring& path, DWORD access, DWORD creation) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE h = CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, creation, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) ADD_FAILURE() << "cannot open " << Utf8(path) << ": " << GetLastError();
    return h;
}

std::thread ReadAll(HANDLE from, std::string& into) {
    return std::thread([from, &into] {
        char buffer[65536];
        DWORD got = 0;
        while (ReadFile(from, buffer, sizeof buffer, &got, nullptr) && got > 0) into.append(buffer, got);
        CloseHandle(from);
    });
}

}  // namespace

std::wstring TravokcExePath() { return Wide(ExeDir() + "travokc.exe"); }

Travokc::Travokc(const std::vector<std::wstring>& args, const Streams& streams) {
    std::wstring commandLine = Quoted(streams.program.empty() ? TravokcExePath() : streams.program);
    for (const std::wstring& arg : args) commandLine += L" " + Quoted(arg);

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    Pipe in{}, out{}, err = MakePipe(false);
    if (streams.inputFile.empty()) {
        in = MakePipe(true);
        startup.hStdInput = in.read;
    } else {
        startup.hStdInput = OpenInherited(streams.inputFile, GENERIC_READ, OPEN_EXISTING);
    }
    if (streams.outputFile.empty()) {
        out = MakePipe(false);
        startup.hStdOutput = out.write;
    } else {
        startup.hStdOutput = OpenInherited(streams.outputFile, streams.append ? FILE_APPEND_DATA : GENERIC_WRITE,
                                           streams.append ? OPEN_ALWAYS : CREATE_ALWAYS);
    }
    startup.hStdError = err.write;

    const BOOL started = CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                                        &startup, &m_info);
    if (!started) ADD_FAILURE() << "cannot start travokc: " << GetLastError();
    // The child has its own copies now: ours go, so that the pipes end with it.
    CloseHandle(startup.hStdInput);
    CloseHandle(startup.hStdOutput);
    CloseHandle(startup.hStdError);

    if (in.write) {
        m_feeder = std::thread([write = in.write, input = streams.input] {
            DWORD written = 0;
            for (size_t done = 0; done < input.size(); done += written) {
                const DWORD piece = static_cast<DWORD>(std::min<size_t>(input.size() - done, 1u << 20));
                if (!WriteFile(write, input.data() + done, piece, &written, nullptr)) break;
            }
            CloseHandle(write);
        });
    }
    if (out.read) m_outReader = ReadAll(out.read, m_outcome.out);
    m_errReader = ReadAll(err.read, m_outcome.err);
}

Travokc::~Travokc() {
    if (m_info.hProcess && WaitForSingleObject(m_info.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(m_info.hProcess, 99);
    for (std::thread* pump : {&m_feeder, &m_outReader, &m_errReader})
        if (pump->joinable()) pump->join();
    if (m_info.hProcess) CloseHandle(m_info.hProcess);
    if (m_info.hThread) CloseHandle(m_info.hThread);
}

Outcome Travokc::Wait(DWORD timeoutMs) {
    if (!m_info.hProcess) return m_outcome;
    if (WaitForSingleObject(m_info.hProcess, timeoutMs) == WAIT_TIMEOUT) {
        ADD_FAILURE() << "travokc did not end within " << timeoutMs << " ms";
        TerminateProcess(m_info.hProcess, 99);
        WaitForSingleObject(m_info.hProcess, INFINITE);
    }
    GetExitCodeProcess(m_info.hProcess, &m_outcome.exitCode);
    for (std::thread* pump : {&m_feeder, &m_outReader, &m_errReader})
        if (pump->joinable()) pump->join();
    return m_outcome;
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
