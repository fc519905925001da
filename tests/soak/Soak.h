// What the soak tests share: the run's counts, the coder's results worked out on the
// client side, varied call inputs, and a process's handle and memory figures.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "framework/Handles.h"

namespace travok::soak {

// How long a run is: from --instances=N and --calls=M on the command line, else from
// TRAVOK_SOAK_INSTANCES and TRAVOK_SOAK_CALLS, else the short defaults of `make test`.
struct Counts {
    int instances = 10;
    int calls = 5000;
};
const Counts& RunCounts();
// Reads the counts; arguments it does not know are left for GoogleTest. FALSE on a
// malformed count, with the reason in `error`.
bool ParseCounts(int argc, char** argv, std::string& error);

// What CodeWithKey (encode) or DeCodeWithKey returns for text and key: each byte of the
// text in the active code page shifted by one key digit, the key walked cyclically,
// and the bytes converted back. Texts must be representable in the code page.
std::wstring Expected(bool encode, const std::wstring& text, const std::wstring& key);

// Texts and keys that vary from call to call but repeat from run to run.
class Inputs {
public:
    explicit Inputs(std::uint32_t seed) : m_random(seed) {}
    // Printable characters of the code page, mostly short, now and then a few
    // thousand; never empty.
    std::wstring Text();
    // One to twelve digits.
    std::wstring Key();
    int Number(int low, int high);

private:
    std::mt19937 m_random;
};

// A process's open handles, private memory and threads.
struct Figures {
    DWORD handles = 0;
    SIZE_T privateBytes = 0;
    DWORD threads = 0;
};
// FALSE when the system does not tell; the process handle needs
// PROCESS_QUERY_INFORMATION and PROCESS_VM_READ. Private memory is the commit charge
// where the system gives it, else the pagefile usage, which is the same on Windows.
bool ReadFigures(HANDLE process, Figures& figures);

// A status code as failure messages show it: "0x800706BF".
std::string Hex(long code);

// A run of steps that must each come to an end (a call, an activation, an exit): when
// the count of steps done stands still for stillMs, stuck is called once with the
// count, to say what hangs and to free it. Without it, ctest's limit would end the test
// without a word on what it waited for.
class Watchdog {
public:
    Watchdog(const std::atomic<int>& done, DWORD stillMs, std::function<void(int)> stuck);
    ~Watchdog();
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;

private:
    void Watch();

    const std::atomic<int>& m_done;
    const DWORD m_stillMs;
    const std::function<void(int)> m_stuck;
    UniqueHandle m_stop;
    std::thread m_thread;  // last: it starts once the rest is ready
};

// Milliseconds from a monotonic clock, for the figures a run reports.
double NowMs();
double Median(std::vector<double> values);

}  // namespace travok::soak
