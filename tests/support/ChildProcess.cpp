// Starting, waiting for and ending the tests' child processes.
#include "ChildProcess.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "Driver.h"
#include "TempFiles.h"

namespace travok::test {

namespace {

// How often a polite step is repeated while the child has not ended.
constexpr DWORD kPoliteRetryMs = 500;

// The attribute list that tells CreateProcess which handles the child inherits: with
// bInheritHandles alone it would inherit every inheritable handle of this process,
// among them the pipe ends of other children that threads of the test start meanwhile.
// Wine 8 honours it (measured: a handle left out of the list is not valid in the
// child), though it quietly skips a listed handle that is not inheritable, where
// Windows refuses the start.
class InheritList {
public:
    explicit InheritList(std::vector<HANDLE> handles) : m_handles(std::move(handles)) {
        SIZE_T size = 0;
        InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
        m_memory.resize(size);
        auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(m_memory.data());
        if (!InitializeProcThreadAttributeList(list, 1, 0, &size)) {
            ADD_FAILURE() << "InitializeProcThreadAttributeList failed: " << GetLastError();
            return;
        }
        m_list = list;
        if (!UpdateProcThreadAttribute(m_list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, m_handles.data(),
                                       m_handles.size() * sizeof(HANDLE), nullptr, nullptr))
            ADD_FAILURE() << "UpdateProcThreadAttribute failed: " << GetLastError();
    }
    ~InheritList() {
        if (m_list) DeleteProcThreadAttributeList(m_list);
    }
    InheritList(const InheritList&) = delete;
    InheritList& operator=(const InheritList&) = delete;

    LPPROC_THREAD_ATTRIBUTE_LIST Get() const { return m_list; }

private:
    std::vector<HANDLE> m_handles;  // the list points into this until it is deleted
    std::vector<char> m_memory;
    LPPROC_THREAD_ATTRIBUTE_LIST m_list = nullptr;
};

bool IsHandle(HANDLE handle) { return handle != nullptr && handle != INVALID_HANDLE_VALUE; }

}  // namespace

UniqueHandle OurStdHandle(DWORD which) {
    const HANDLE ours = GetStdHandle(which);
    HANDLE copy = nullptr;
    if (!IsHandle(ours) ||
        !DuplicateHandle(GetCurrentProcess(), ours, GetCurrentProcess(), &copy, 0, FALSE, DUPLICATE_SAME_ACCESS))
        return {};
    return UniqueHandle(copy);
}

ChildProcess::ChildProcess(std::wstring commandLine) { Start(std::move(commandLine), nullptr); }

ChildProcess::ChildProcess(std::wstring commandLine, StdStreams streams) {
    Start(std::move(commandLine), &streams);
    // streams goes here, and with it our copies of the child's ends.
}

void ChildProcess::Start(std::wstring commandLine, StdStreams* streams) {
    STARTUPINFOEXW startup{};
    startup.StartupInfo.cb = sizeof startup.StartupInfo;
    std::vector<HANDLE> inherited;
    if (streams) {
        startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
        startup.StartupInfo.hStdInput = streams->input.get();
        startup.StartupInfo.hStdOutput = streams->output.get();
        startup.StartupInfo.hStdError = streams->error.get();
        for (HANDLE handle : {streams->input.get(), streams->output.get(), streams->error.get()}) {
            if (!IsHandle(handle)) continue;
            SetHandleInformation(handle, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
            inherited.push_back(handle);
        }
    }
    std::optional<InheritList> list;
    DWORD flags = 0;
    if (!inherited.empty()) {
        list.emplace(inherited);
        startup.StartupInfo.cb = sizeof startup;
        startup.lpAttributeList = list->Get();
        flags |= EXTENDED_STARTUPINFO_PRESENT;
    }
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, !inherited.empty(), flags, nullptr, nullptr,
                        &startup.StartupInfo, &info)) {
        ADD_FAILURE() << "cannot start " << Utf8(commandLine) << ": error " << GetLastError();
        return;
    }
    m_process.reset(info.hProcess);
    m_thread.reset(info.hThread);
    m_pid = info.dwProcessId;
    m_threadId = info.dwThreadId;
}

ChildProcess ChildProcess::Open(DWORD pid) {
    ChildProcess child;
    child.m_pid = pid;
    child.m_process.reset(OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE | PROCESS_QUERY_INFORMATION, FALSE, pid));
    if (!child.m_process) ADD_FAILURE() << "cannot open process " << pid << ": error " << GetLastError();
    return child;
}

ChildProcess::~ChildProcess() { End(); }

ChildProcess::ChildProcess(ChildProcess&& other) noexcept
    : m_process(std::move(other.m_process)),
      m_thread(std::move(other.m_thread)),
      m_pid(std::exchange(other.m_pid, 0)),
      m_threadId(std::exchange(other.m_threadId, 0)),
      m_politeEnd(std::exchange(other.m_politeEnd, nullptr)) {}

ChildProcess& ChildProcess::operator=(ChildProcess&& other) noexcept {
    if (this != &other) {
        End();
        m_process = std::move(other.m_process);
        m_thread = std::move(other.m_thread);
        m_pid = std::exchange(other.m_pid, 0);
        m_threadId = std::exchange(other.m_threadId, 0);
        m_politeEnd = std::exchange(other.m_politeEnd, nullptr);
    }
    return *this;
}

bool ChildProcess::Running() const {
    return m_process && WaitForSingleObject(m_process.get(), 0) == WAIT_TIMEOUT;
}

std::optional<DWORD> ChildProcess::ExitCode() const {
    DWORD code = 0;
    if (Running() || !m_process || !GetExitCodeProcess(m_process.get(), &code)) return std::nullopt;
    return code;
}

std::optional<DWORD> ChildProcess::WaitExit(DWORD timeoutMs) const {
    if (!m_process || WaitForSingleObject(m_process.get(), timeoutMs) != WAIT_OBJECT_0) return std::nullopt;
    return ExitCode();
}

HWND ChildProcess::WaitWindow(const std::function<bool(HWND)>& pred, DWORD timeoutMs, DWORD pollMs) const {
    if (!m_process) return nullptr;
    const DWORD start = GetTickCount();
    for (;;) {
        for (HWND hwnd : TopLevelWindows(m_pid, nullptr))
            if (pred(hwnd)) return hwnd;
        const DWORD waited = GetTickCount() - start;
        if (waited >= timeoutMs) return nullptr;
        // The pause between looks ends early when the process does: no window will come.
        if (WaitForSingleObject(m_process.get(), std::min(pollMs, timeoutMs - waited)) != WAIT_TIMEOUT) return nullptr;
    }
}

bool ChildProcess::End(DWORD politeMs) {
    const std::function<void()> politeEnd = std::exchange(m_politeEnd, nullptr);
    if (!Running()) return true;
    if (politeEnd) {
        const DWORD start = GetTickCount();
        do {
            politeEnd();
            if (WaitForSingleObject(m_process.get(), kPoliteRetryMs) != WAIT_TIMEOUT) return true;
        } while (GetTickCount() - start < politeMs);
    }
    // TerminateProcess only starts the end: the handle is signalled once the child is gone.
    TerminateProcess(m_process.get(), kForcedExitCode);
    WaitForSingleObject(m_process.get(), kSafetyNetMs);
    return false;
}

}  // namespace travok::test
