// The soak tests' counts, client-side coder results, inputs and process figures.
#include "Soak.h"

#include <psapi.h>
#include <tlhelp32.h>
#include <winternl.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "Handles.h"
#include "tests/automation/ComClient.h"

namespace travok::soak {

namespace {

Counts g_counts;

// A positive count from "12345"; FALSE for anything else.
bool ReadCount(const char* text, int& count) {
    const char* end = text + std::strlen(text);
    int value = 0;
    auto [next, ec] = std::from_chars(text, end, value);
    if (ec != std::errc() || next != end || value < 1) return false;
    count = value;
    return true;
}

bool ReadOption(const char* arg, const char* prefix, int& count, std::string& error) {
    const size_t n = std::strlen(prefix);
    if (std::strncmp(arg, prefix, n) != 0) return true;
    if (ReadCount(arg + n, count)) return true;
    error = std::string("not a positive count: ") + arg;
    return false;
}

bool ReadEnvironment(const char* name, int& count, std::string& error) {
    const char* value = std::getenv(name);
    if (!value || !*value || ReadCount(value, count)) return true;
    error = std::string(name) + " is not a positive count: " + value;
    return false;
}

}  // namespace

const Counts& RunCounts() { return g_counts; }

bool ParseCounts(int argc, char** argv, std::string& error) {
    if (!ReadEnvironment("TRAVOK_SOAK_INSTANCES", g_counts.instances, error)) return false;
    if (!ReadEnvironment("TRAVOK_SOAK_CALLS", g_counts.calls, error)) return false;
    for (int i = 1; i < argc; ++i) {
        if (!ReadOption(argv[i], "--instances=", g_counts.instances, error)) return false;
        if (!ReadOption(argv[i], "--calls=", g_counts.calls, error)) return false;
    }
    return true;
}

std::wstring Expected(bool encode, const std::wstring& text, const std::wstring& key) {
    std::string bytes = test::ToAnsi(text);
    const std::string digits = test::ToAnsi(key);
    if (bytes.empty()) return {};
    for (size_t i = 0; i < bytes.size(); ++i) {
        const auto shift = static_cast<unsigned char>(digits[i % digits.size()] - 48);
        const auto byte = static_cast<unsigned char>(bytes[i]);
        bytes[i] = static_cast<char>(encode ? byte + shift : byte - shift);
    }
    return test::ToWide(bytes);
}

std::wstring Inputs::Text() {
    // Mostly short texts; one in fifty is a few thousand characters. Those come in a few
    // set lengths: large blocks of ever new sizes fragment Wine's heap, which then grows
    // for thousands of calls before it settles, in any process that passes them (a
    // client with no Travok code in it too), and would hide what the server keeps.
    static constexpr int kLongLengths[] = {3000, 6000, 9000};
    const int length = Number(1, 50) == 1 ? kLongLengths[Number(0, 2)] : Number(1, 300);
    std::string bytes(static_cast<size_t>(length), ' ');
    for (char& c : bytes) {
        // The printable ranges of the code page: ASCII and 0xA0-0xFF.
        const int pick = Number(0, (0x7E - 0x20) + (0xFF - 0xA0) + 1);
        c = static_cast<char>(pick <= 0x7E - 0x20 ? 0x20 + pick : 0xA0 + pick - (0x7E - 0x20 + 1));
    }
    return test::ToWide(bytes);
}

std::wstring Inputs::Key() {
    std::wstring key(static_cast<size_t>(Number(1, 12)), L'0');
    for (wchar_t& digit : key) digit = static_cast<wchar_t>(L'0' + Number(0, 9));
    return key;
}

int Inputs::Number(int low, int high) { return std::uniform_int_distribution<int>(low, high)(m_random); }

namespace {

// SystemExtendedHandleInformation: every open handle of the system with its owner.
constexpr ULONG kSystemExtendedHandleInformation = 64;
constexpr NTSTATUS kInfoLengthMismatch = static_cast<NTSTATUS>(0xC0000004);

struct HandleEntry {
    PVOID object;
    ULONG_PTR processId;
    ULONG_PTR handle;
    ULONG access;
    USHORT creatorBackTraceIndex;
    USHORT objectTypeIndex;
    ULONG attributes;
    ULONG reserved;
};

struct HandleTable {
    ULONG_PTR count;
    ULONG_PTR reserved;
    HandleEntry entries[1];
};

using QuerySystemInformation = NTSTATUS(NTAPI*)(ULONG, PVOID, ULONG, PULONG);

// The process's entries in the system's handle table; FALSE when there is no table.
bool CountHandlesInSystemTable(DWORD pid, DWORD& count) {
    auto query = reinterpret_cast<QuerySystemInformation>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
    if (!query) return false;
    std::vector<char> buffer(256 * 1024);
    NTSTATUS status;
    ULONG needed = 0;
    while ((status = query(kSystemExtendedHandleInformation, buffer.data(), static_cast<ULONG>(buffer.size()),
                           &needed)) == kInfoLengthMismatch)
        buffer.resize(buffer.size() * 2);
    if (status != 0) return false;
    const auto* table = reinterpret_cast<const HandleTable*>(buffer.data());
    count = 0;
    for (ULONG_PTR i = 0; i < table->count; ++i)
        if (table->entries[i].processId == pid) ++count;
    return true;
}

DWORD CountThreads(DWORD pid) {
    const travok::test::UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
    if (snapshot.get() == INVALID_HANDLE_VALUE) return 0;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    DWORD count = 0;
    for (BOOL more = Thread32First(snapshot.get(), &entry); more; more = Thread32Next(snapshot.get(), &entry))
        if (entry.th32OwnerProcessID == pid) ++count;
    return count;
}

}  // namespace

bool ReadFigures(HANDLE process, Figures& figures) {
    // Wine's GetProcessHandleCount succeeds and says 0, which no running process has:
    // then the system's handle table, which Wine does keep, gives the count.
    if (!GetProcessHandleCount(process, &figures.handles)) return false;
    if (figures.handles == 0 && !CountHandlesInSystemTable(GetProcessId(process), figures.handles)) return false;
    PROCESS_MEMORY_COUNTERS_EX memory{};
    memory.cb = sizeof memory;
    if (!GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory))
        return false;
    // Wine fills only the short form, without PrivateUsage; its PagefileUsage is the
    // process's anonymous memory, and on Windows it equals PrivateUsage.
    figures.privateBytes = memory.PrivateUsage != 0 ? memory.PrivateUsage : memory.PagefileUsage;
    figures.threads = CountThreads(GetProcessId(process));
    return figures.handles != 0 && figures.privateBytes != 0 && figures.threads != 0;
}

Watchdog::Watchdog(const std::atomic<int>& done, DWORD stillMs, std::function<void(int)> stuck)
    : m_done(done), m_stillMs(stillMs), m_stuck(std::move(stuck)), m_stop(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      m_thread([this] { Watch(); }) {}

Watchdog::~Watchdog() {
    SetEvent(m_stop.get());
    m_thread.join();
}

void Watchdog::Watch() {
    int seen = m_done;
    DWORD since = GetTickCount();
    while (WaitForSingleObject(m_stop.get(), 500) == WAIT_TIMEOUT) {
        if (m_done != seen) {
            seen = m_done;
            since = GetTickCount();
        } else if (GetTickCount() - since > m_stillMs) {
            m_stuck(seen);
            return;
        }
    }
}

std::string Hex(long code) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(code));
    return text;
}

double NowMs() {
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(now.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

double Median(std::vector<double> values) {
    if (values.empty()) return 0;
    const size_t mid = values.size() / 2;
    std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(mid), values.end());
    return values[mid];
}

}  // namespace travok::soak
