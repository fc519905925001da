// P2-P8: the real Travok.exe measured from outside. File-to-File throughput of a 1 GiB
// file on tmpfs against cp, peak memory of 1 GiB and 5 GiB runs, start-up time against
// Wine's notepad, automation calls against the transport's own round trip, and how a
// long run answers: Cancel, the window's messages and automation calls during it.
#include <windows.h>

#include <psapi.h>

#include <commctrl.h>

#include <cstdio>
#include <cstring>
#include <optional>
#include <set>
#include <string>

#include "ChildProcess.h"
#include "Driver.h"
#include "Harness.h"
#include "TempFiles.h"
#include "engine/FileRun.h"
#include "res/resource.h"
#include "shell/ServerIds.h"

using namespace travok::bench;
using namespace travok::test;

namespace {

const std::string kUnixDir = "/dev/shm/travok-bench";
const std::string kWinDir = "Z:\\dev\\shm\\travok-bench\\";

// One File-to-File run through the page of a running Travok; returns its seconds.
double FileToFile(const TravokProcess& app, const std::string& input, const std::string& output) {
    SetText(app.Item(IDC_INPUT_PATH), input);
    SetText(app.Item(IDC_OUTPUT_PATH), output);
    SetText(app.Item(IDC_KEY), "1234567");
    app.ClickNow(app.Item(IDC_FROM_FILE));
    app.ClickNow(app.Item(IDC_TO_FILE));
    // The click is sent, not polled for: the send returns when the run has ended, and no
    // poller competes with the run for the two cores. A message box would hold the send
    // until the timeout.
    double start = Seconds();
    DWORD_PTR result = 0;
    SendMessageTimeoutA(app.Item(IDC_ACTION), BM_CLICK, 0, 0, SMTO_NORMAL, 120000, &result);
    double seconds = Seconds() - start;
    if (std::optional<SeenBox> box = app.FindBox()) {
        std::printf("  unexpected message: %s\n", box->text.c_str());
        app.CloseBox(*box);
    }
    return seconds;
}

struct Memory {
    double peakPrivateMiB;
    double peakWorkingSetMiB;
};

Memory PeakMemory(HANDLE process) {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(process, &counters, sizeof counters);
    return {static_cast<double>(counters.PeakPagefileUsage) / 1048576.0,
            static_cast<double>(counters.PeakWorkingSetSize) / 1048576.0};
}

void FileThroughput() {
    constexpr int kRounds = 5;
    RunUnix("head -c 1G /dev/urandom > " + kUnixDir + "/in.bin");
    const double gib = 1.073741824;  // GB in a GiB
    // cp runs through the Linux command runner, whose own cost is taken off.
    const double runnerSeconds = MedianSeconds(kRounds, [] { RunUnix("true"); });
    TravokProcess app;
    // Each round starts by removing the outputs of the one before (not counted).
    const std::string outputs =
        kUnixDir + "/cp.bin " + kUnixDir + "/out.bin " + kUnixDir + "/dd.bin " + kUnixDir + "/cat.bin";
    std::vector<double> seconds = InterleavedMedianSeconds(
        kRounds, {[&] { RunUnix("rm -f " + outputs); },
                  [] { RunUnix("cp " + kUnixDir + "/in.bin " + kUnixDir + "/cp.bin"); },
                  [&] { FileToFile(app, kWinDir + "in.bin", kWinDir + "out.bin"); },
                  [&] { RunUnix("dd if=" + kUnixDir + "/in.bin of=" + kUnixDir + "/dd.bin bs=1M status=none"); },
                  [] { RunUnix("cat <" + kUnixDir + "/in.bin >" + kUnixDir + "/cat.bin"); }});
    RunUnix("rm -f " + outputs);
    Report("P2 File-to-File, 1 GiB on tmpfs", gib / seconds[2], "cp of the same file", gib / (seconds[1] - runnerSeconds),
           "GB/s", ">= 1.0");
    Report("P2 File-to-File, 1 GiB on tmpfs", gib / seconds[2], "cat <in >out", gib / (seconds[4] - runnerSeconds),
           "GB/s", ">= 1.0");
    // cp and cat (coreutils 9) copy inside the kernel (copy_file_range); a program that
    // reads and writes, as Travok must to code, moves every byte through its own memory
    // twice, as dd does.
    Report("P2 File-to-File, 1 GiB on tmpfs", gib / seconds[2], "dd bs=1M, no coding", gib / (seconds[3] - runnerSeconds),
           "GB/s", "none");
}

void FlatMemory() {
    // Sparse inputs cost no memory; the outputs live on tmpfs, which does not count
    // towards Travok's own memory, and go after each run.
    Memory peak[2];
    const char* sizes[2] = {"1G", "5G"};
    for (int i = 0; i < 2; ++i) {
        RunUnix("truncate -s " + std::string(sizes[i]) + " " + kUnixDir + "/sparse.bin");
        TravokProcess app;
        double seconds = FileToFile(app, kWinDir + "sparse.bin", kWinDir + "out.bin");
        peak[i] = PeakMemory(app.Handle());
        std::printf("  %s run took %.2f s\n", sizes[i], seconds);
        RunUnix("rm -f " + kUnixDir + "/sparse.bin " + kUnixDir + "/out.bin");
    }
    Report("P3 peak private memory, 5 GiB run", peak[1].peakPrivateMiB, "1 GiB run", peak[0].peakPrivateMiB, "MiB",
           "difference < 1 MiB: " + std::to_string(peak[1].peakPrivateMiB - peak[0].peakPrivateMiB));
    Report("P3 peak working set, 5 GiB run", peak[1].peakWorkingSetMiB, "1 GiB run", peak[0].peakWorkingSetMiB,
           "MiB", "difference < 1 MiB: " + std::to_string(peak[1].peakWorkingSetMiB - peak[0].peakWorkingSetMiB));
}

// Seconds from CreateProcess to a visible top-level window with a caption (its main
// window) and nothing left to paint.
double StartUp(const std::string& commandLine) {
    const double start = Seconds();
    ChildProcess child(Wide(commandLine));
    if (!child) return -1;
    const HWND main = child.WaitWindow(
        [](HWND hwnd) { return GetWindowTextLengthA(hwnd) > 0 && !GetUpdateRect(hwnd, nullptr, FALSE); }, 30000, 1);
    const double seconds = Seconds() - start;
    child.SetPoliteEnd([main] { PostMessageA(main, WM_CLOSE, 0, 0); });
    child.End();
    return seconds;
}

void StartUpTime() {
    constexpr int kRuns = 9;
    const std::string travokCommand = '"' + TravokExePath() + '"';
    StartUp("notepad.exe");  // warm both up once
    StartUp(travokCommand);
    std::vector<double> seconds =
        InterleavedMedianSeconds(kRuns, {[] { StartUp("notepad.exe"); }, [&] { StartUp(travokCommand); }});
    double notepad = seconds[0];
    double travok = seconds[1];
    Report("P4 start-up to a painted window", travok * 1000, "notepad", notepad * 1000, "ms", "<= 1.2");
}

void AutomationCalls() {
    { TravokProcess registers; }  // a user start refreshes the server's registry entries
    CoInitialize(nullptr);
    IDispatch* travok = nullptr;
    HRESULT hr = CoCreateInstance(CLSID_TravokApplication, nullptr, CLSCTX_LOCAL_SERVER, IID_IDispatch,
                                  reinterpret_cast<void**>(&travok));
    if (FAILED(hr)) {
        std::printf("P5 automation: cannot create Travok.Application (0x%08lx)\n", hr);
        CoUninitialize();
        return;
    }
    DISPID codeWithKey = 0;
    LPOLESTR name = const_cast<LPOLESTR>(L"CodeWithKey");
    auto lookUp = [&] { travok->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &codeWithKey); };
    lookUp();

    auto call = [&](BSTR text) {
        VARIANT args[2];  // reversed: the key, then the text
        args[0].vt = VT_BSTR;
        args[0].bstrVal = SysAllocString(L"1234567");
        args[1].vt = VT_BSTR;
        args[1].bstrVal = text;
        DISPPARAMS params{args, nullptr, 2, 0};
        VARIANT result;
        VariantInit(&result);
        travok->Invoke(codeWithKey, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, &result, nullptr,
                       nullptr);
        VariantClear(&result);
        SysFreeString(args[0].bstrVal);
    };

    constexpr int kCalls = 2000;
    BSTR shortText = SysAllocString(L"sixteen bytes!!!");
    std::vector<double> shortTimes = InterleavedMedianSeconds(
        5, {[&] { for (int i = 0; i < kCalls; ++i) lookUp(); }, [&] { for (int i = 0; i < kCalls; ++i) call(shortText); }});
    double floor = shortTimes[0] / kCalls;
    double shortCall = shortTimes[1] / kCalls;
    Report("P5 CodeWithKey, 16-byte text", 1 / shortCall, "GetIDsOfNames round trip", 1 / floor, "call/s",
           "time per call <= 1.5x the floor: " + std::to_string(shortCall / floor));

    // The transport's own cost for a long text: the same arguments sent to a member the
    // server does not have, which it refuses before doing any work (the text goes one
    // way only; a real call also brings its result back).
    std::wstring mebibyte(1u << 20, L'a');
    BSTR longText = SysAllocStringLen(mebibyte.data(), static_cast<UINT>(mebibyte.size()));
    const DISPID knownId = codeWithKey;
    std::vector<double> longTimes = InterleavedMedianSeconds(5, {[&] { call(longText); }, [&] {
        codeWithKey = 99;
        call(longText);
        codeWithKey = knownId;
    }});
    double longCall = longTimes[0];
    double longSend = longTimes[1];
    const double mb = (1u << 20) / 1e6;
    Report("P5 CodeWithKey, 1 MiB text", mb / longCall, "1 MiB sent, no reply text", mb / longSend, "MB/s",
           "none; a call moves the text both ways");
    SysFreeString(longText);
    SysFreeString(shortText);
    travok->Release();
    CoUninitialize();
}

// Sets up a File-to-File run on a page and starts it without waiting for it.
void StartRun(HWND page, const std::string& input, const std::string& output) {
    auto item = [&](int id) { return GetDlgItem(page, id); };
    SetText(item(IDC_INPUT_PATH), input);
    SetText(item(IDC_OUTPUT_PATH), output);
    SetText(item(IDC_KEY), "1234567");
    DWORD_PTR result = 0;
    SendMessageTimeoutA(item(IDC_FROM_FILE), BM_CLICK, 0, 0, SMTO_NORMAL, 10000, &result);
    SendMessageTimeoutA(item(IDC_TO_FILE), BM_CLICK, 0, 0, SMTO_NORMAL, 10000, &result);
    PostMessageA(item(IDC_ACTION), BM_CLICK, 0, 0);
}

double Percentile(std::vector<double> samples, double p) {
    if (samples.empty()) return 0;
    std::sort(samples.begin(), samples.end());
    return samples[std::min(samples.size() - 1, static_cast<size_t>(p * static_cast<double>(samples.size())))];
}

// P6: Cancel stops a long run at its next block. The input is a 4 GiB sparse file, so a
// run is still going when its dialog shows.
void CancelLatency() {
    constexpr int kRounds = 5;
    RunUnix("truncate -s 4G " + kUnixDir + "/sparse.bin");
    TravokProcess app;
    std::vector<double> cancels;
    for (int round = 0; round < kRounds; ++round) {
        StartRun(app.Page(), kWinDir + "sparse.bin", kWinDir + "out.bin");
        HWND dialog = nullptr;
        WaitFor([&] { return (dialog = ProgressDialogOf(app.Pid())) != nullptr; }, 30000, 1);
        if (!dialog) {
            std::printf("  P6: no progress dialog\n");
            break;
        }
        const double start = Seconds();
        PostMessageA(GetDlgItem(dialog, IDCANCEL), BM_CLICK, 0, 0);
        WaitFor([&] { return !IsWindow(dialog); }, 30000, 1);
        cancels.push_back(Seconds() - start);
        app.Sync();
    }
    RunUnix("rm -f " + kUnixDir + "/sparse.bin " + kUnixDir + "/out.bin");
    // The baseline: one block of the same run read, coded and written, from a whole run.
    RunUnix("truncate -s 1G " + kUnixDir + "/sparse.bin");
    const double whole = FileToFile(app, kWinDir + "sparse.bin", kWinDir + "out.bin");
    RunUnix("rm -f " + kUnixDir + "/sparse.bin " + kUnixDir + "/out.bin");
    const double block = whole / (1073741824.0 / static_cast<double>(travok::kRunBlock));
    Report("P6 Cancel to the run's end (median)", Percentile(cancels, 0.5) * 1000, "one block of a run",
           block * 1000, "ms", "<= 100 ms");
}

// Round trips of WM_NULL to window, each timed, until until() holds or count are done.
std::vector<double> RoundTrips(HWND window, size_t count, const std::function<bool()>& until) {
    std::vector<double> times;
    while (times.size() < count && !until()) {
        const double start = Seconds();
        DWORD_PTR result = 0;
        SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, 30000, &result);
        times.push_back(Seconds() - start);
    }
    return times;
}

// P7: the window answers its messages during a 1 GiB run as when idle.
void WindowDuringRun() {
    RunUnix("head -c 1G /dev/urandom > " + kUnixDir + "/in.bin");
    TravokProcess app;
    std::vector<double> during;
    for (int round = 0; round < 3; ++round) {
        StartRun(app.Page(), kWinDir + "in.bin", kWinDir + "out.bin");
        // The sheet is disabled while the run goes on, and enabled again at its end.
        WaitFor([&] { return !IsWindowEnabled(app.Sheet()); }, 10000, 1);
        std::vector<double> times =
            RoundTrips(app.Sheet(), 1000000, [&] { return IsWindowEnabled(app.Sheet()) != FALSE; });
        during.insert(during.end(), times.begin(), times.end());
        app.Sync();
        RunUnix("rm -f " + kUnixDir + "/out.bin");
    }
    const std::vector<double> idle = RoundTrips(app.Sheet(), during.size(), [] { return false; });
    RunUnix("rm -f " + kUnixDir + "/in.bin");
    std::printf("  %zu round trips during the runs\n", during.size());
    Report("P7 WM_NULL round trip during a run (p99)", Percentile(during, 0.99) * 1000, "the same, idle (p99)",
           Percentile(idle, 0.99) * 1000, "ms", "<= 50 ms");
}

// The sheet of a Travok.exe that is not among known, once one shows.
HWND NewSheet(const std::set<HWND>& known) {
    HWND found = nullptr;
    WaitFor([&] {
        for (HWND hwnd = FindWindowA("#32770", "Travok"); hwnd; hwnd = FindWindowExA(nullptr, hwnd, "#32770", "Travok"))
            if (!known.count(hwnd)) found = hwnd;
        return found != nullptr;
    }, 20000);
    return found;
}

// P8: a short CodeWithKey call is answered during a long run of the same instance.
void AutomationDuringRun() {
    { TravokProcess registers; }
    CoInitialize(nullptr);
    std::set<HWND> known;
    for (HWND hwnd = FindWindowA("#32770", "Travok"); hwnd; hwnd = FindWindowExA(nullptr, hwnd, "#32770", "Travok"))
        known.insert(hwnd);
    IDispatch* travok = nullptr;
    if (FAILED(CoCreateInstance(CLSID_TravokApplication, nullptr, CLSCTX_LOCAL_SERVER, IID_IDispatch,
                                reinterpret_cast<void**>(&travok)))) {
        std::printf("P8: cannot create Travok.Application\n");
        CoUninitialize();
        return;
    }
    HWND sheet = NewSheet(known);
    DWORD_PTR page = 0;
    SendMessageTimeoutA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0, SMTO_NORMAL, 10000, &page);
    DISPID codeWithKey = 1;
    BSTR text = SysAllocString(L"sixteen bytes!!!"), key = SysAllocString(L"1234567");
    auto call = [&] {
        VARIANT args[2];  // reversed: the key, then the text
        args[0].vt = VT_BSTR;
        args[0].bstrVal = key;
        args[1].vt = VT_BSTR;
        args[1].bstrVal = text;
        DISPPARAMS params{args, nullptr, 2, 0};
        VARIANT result;
        VariantInit(&result);
        const double start = Seconds();
        const HRESULT hr =
            travok->Invoke(codeWithKey, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, &result, nullptr, nullptr);
        const double seconds = Seconds() - start;
        if (FAILED(hr) || result.vt != VT_BSTR) std::printf("  P8: a call failed (0x%08lx)\n", hr);
        VariantClear(&result);
        return seconds;
    };
    std::vector<double> idle, during;
    for (int i = 0; i < 200; ++i) idle.push_back(call());
    RunUnix("truncate -s 4G " + kUnixDir + "/sparse.bin");
    StartRun(reinterpret_cast<HWND>(page), kWinDir + "sparse.bin", kWinDir + "out.bin");
    WaitFor([&] { return !IsWindowEnabled(sheet); }, 10000, 1);
    while (!IsWindowEnabled(sheet) && during.size() < 100000) during.push_back(call());
    WaitFor([&] { return IsWindowEnabled(sheet) != FALSE; }, 60000);
    RunUnix("rm -f " + kUnixDir + "/sparse.bin " + kUnixDir + "/out.bin");
    std::printf("  %zu calls during the run\n", during.size());
    Report("P8 CodeWithKey during a run (median)", Percentile(during, 0.5) * 1000, "the same call, idle (median)",
           Percentile(idle, 0.5) * 1000, "ms", "<= 2x");
    SysFreeString(text);
    SysFreeString(key);
    travok->Release();
    PostMessageA(sheet, WM_CLOSE, 0, 0);
    CoUninitialize();
}

}  // namespace

// With no arguments every figure is measured; otherwise only those named (P2 ... P8).
int main(int argc, char** argv) {
    auto wanted = [&](const char* figure) {
        if (argc < 2) return true;
        for (int i = 1; i < argc; ++i)
            if (std::strcmp(argv[i], figure) == 0) return true;
        return false;
    };
    NameTheBuild("run_bench");
    RunUnix("mkdir -p " + kUnixDir);
    if (wanted("P2")) FileThroughput();
    if (wanted("P3")) FlatMemory();
    if (wanted("P4")) StartUpTime();
    if (wanted("P5")) AutomationCalls();
    if (wanted("P6")) CancelLatency();
    if (wanted("P7")) WindowDuringRun();
    if (wanted("P8")) AutomationDuringRun();
    RunUnix("rm -rf " + kUnixDir);
    return 0;
}
