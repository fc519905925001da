// P9: travokc.exe measured from outside on a 1 GiB file on tmpfs: file to file against
// cp, and standard input to standard output against cat, in the same interleaved rounds.
#include <windows.h>

#include <cstdio>
#include <string>
#include <utility>

#include "ChildProcess.h"
#include "Driver.h"
#include "Harness.h"
#include "TempFiles.h"

using namespace travok::bench;
using namespace travok::test;

namespace {

const std::string kUnixDir = "/dev/shm/travok-console-bench";
const std::string kWinDir = "Z:\\dev\\shm\\travok-console-bench\\";
const std::string kKey = "1234567";

// How long one run may take before it counts as stuck: a 1 GiB run takes seconds.
constexpr DWORD kRunLimitMs = 600000;

UniqueHandle OpenForChild(const std::string& path, DWORD access, DWORD creation) {
    return UniqueHandle(CreateFileA(path.c_str(), access, FILE_SHARE_READ, nullptr, creation, 0, nullptr));
}

// Runs travokc with arguments; with stdinPath and stdoutPath its standard streams are
// those files, as "< in > out" makes them. Returns its exit code.
DWORD Travokc(const std::string& args, const std::string& stdinPath = {}, const std::string& stdoutPath = {}) {
    const std::wstring command = Wide('"' + ExeDir() + "travokc.exe\" " + args);
    ChildProcess child;
    if (stdinPath.empty()) {
        child = ChildProcess(command);
    } else {
        StdStreams streams;
        streams.input = OpenForChild(stdinPath, GENERIC_READ, OPEN_EXISTING);
        streams.output = OpenForChild(stdoutPath, GENERIC_WRITE, CREATE_ALWAYS);
        streams.error = OurStdHandle(STD_ERROR_HANDLE);
        child = ChildProcess(command, std::move(streams));
    }
    const DWORD code = child.WaitExit(kRunLimitMs).value_or(kForcedExitCode);
    if (code != 0) std::printf("  travokc %s ended with %lu\n", args.c_str(), code);
    return code;
}

void ConsoleThroughput() {
    constexpr int kRounds = 5;
    RunUnix("mkdir -p " + kUnixDir + " && head -c 1G /dev/urandom > " + kUnixDir + "/in.bin");
    const double gib = 1.073741824;  // GB in a GiB
    // cp and cat run through the Linux command runner, whose own cost is taken off.
    const double runnerSeconds = MedianSeconds(kRounds, [] { RunUnix("true"); });
    const std::string in = kWinDir + "in.bin";
    // Each round starts by removing the outputs of the one before (not counted).
    std::vector<double> seconds = InterleavedMedianSeconds(
        kRounds, {[] { RunUnix("rm -f " + kUnixDir + "/out*.bin " + kUnixDir + "/cp.bin " + kUnixDir + "/cat.bin"); },
                  [] { RunUnix("cp " + kUnixDir + "/in.bin " + kUnixDir + "/cp.bin"); },
                  [&] { Travokc("code -k " + kKey + " " + in + " " + kWinDir + "out-file.bin"); },
                  [] { RunUnix("cat <" + kUnixDir + "/in.bin >" + kUnixDir + "/cat.bin"); },
                  [&] { Travokc("code -k " + kKey, in, kWinDir + "out-stream.bin"); }});
    RunUnix("rm -rf " + kUnixDir);
    // What every run pays before its first byte: Wine starting a process.
    const double startSeconds = MedianSeconds(kRounds, [] { Travokc("--version", "NUL", "NUL"); });
    Report("P9 travokc file to file, 1 GiB on tmpfs", gib / seconds[2], "cp of the same file",
           gib / (seconds[1] - runnerSeconds), "GB/s", ">= 1.0");
    Report("P9 travokc stdin to stdout, 1 GiB on tmpfs", gib / seconds[4], "cat <in >out", gib / (seconds[3] - runnerSeconds),
           "GB/s", ">= 1.0");
    std::printf("  travokc --version alone takes %.0f ms (Wine's process start-up)\n", startSeconds * 1000);
    // The same runs with that start-up taken off: what the run itself does.
    Report("P9 file to file, start-up taken off", gib / (seconds[2] - startSeconds), "cp of the same file",
           gib / (seconds[1] - runnerSeconds), "GB/s", "none");
    Report("P9 stdin to stdout, start-up taken off", gib / (seconds[4] - startSeconds), "cat <in >out",
           gib / (seconds[3] - runnerSeconds), "GB/s", "none");
}

}  // namespace

int main() {
    NameTheBuild("console_bench");
    ConsoleThroughput();
    return 0;
}
