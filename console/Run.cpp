// The run: the key from the command line or a key file, the input from a file or standard
// input, the output into a file (replaced only once whole) or standard output, coded by
// the file run the page uses, while this thread shows progress and watches for Ctrl+C.
#include "Run.h"

#include <algorithm>
#include <chrono>
#include <future>

#include "Console.h"
#include "ConsoleResource.h"
#include "ProgressLine.h"
#include "StopRequest.h"
#include "engine/FileErrorText.h"
#include "engine/FileToFile.h"
#include "engine/KeyFile.h"
#include "framework/String.h"
#include "res/resource.h"

namespace travok::console {

namespace {

constexpr auto kTick = std::chrono::milliseconds(100);
// A run waiting in a read (an idle pipe, a console) sees a stop only once the read
// returns. After this long it is given up, and the output cleaned up without it.
constexpr DWORD kStopGraceMs = 2000;
// A Ctrl+C ends a console read, and in `producer | travokc` the producer too, at about
// the moment it reaches this process's handler: an input other than a disk file that
// ends is given this long for the stop to arrive before its output is put in place.
constexpr DWORD kEndOfPipeGraceMs = 300;

void Message(const std::wstring& text) { WriteLine(STD_ERROR_HANDLE, text); }

// Loads the key the command line names into key; returns an exit code, kDone when the
// key is there.
int LoadKey(const Request& request, std::string& key) {
    if (request.keyFile) {
        LoadedKey loaded = LoadKeyFile(*request.keyFile);
        if (!loaded.error.empty()) {
            Message(loaded.error);
            return kFailed;
        }
        key = std::move(*loaded.key);
    } else {
        key = WideToAnsi(*request.key);
    }
    if (key.empty()) return ReportUsageError({IDS_NO_KEY, {}});
    // As on the page: what is not a digit shifts bytes too, and may be a line break the
    // user cannot see in the key file.
    if (HoldsOtherThanDigits(key)) Message(LoadResStringW(IDS_KEY_NOT_DIGITS));
    return kDone;
}

// An empty name on the command line stands for the standard stream stdHandle, called
// name in messages.
RunEnd End(const std::wstring& path, DWORD stdHandle, UINT name) {
    if (path.empty()) return StandardStream{stdHandle, LoadResStringW(name)};
    return NamedFile{path};
}

// Standard output redirected into a file ("> out", ">> out") cannot be replaced whole
// as a named output is; instead, a run that does not finish cuts it back to where it
// started, so that it holds no partial result.
class StandardOutputRewind {
public:
    // output: the standard stream the run writes into; nullptr for a named output.
    explicit StandardOutputRewind(const CFile* output) {
        // Writes go to the current position, or to the end for a file opened to append
        // (">>"), whose position says nothing: the later of the two, so that no byte
        // the file held before the run is ever cut away.
        LARGE_INTEGER zero{}, position{}, size{};
        if (output && GetFileType(output->GetHandle()) == FILE_TYPE_DISK &&
            SetFilePointerEx(output->GetHandle(), zero, &position, FILE_CURRENT) &&
            GetFileSizeEx(output->GetHandle(), &size)) {
            m_output = output;
            m_start.QuadPart = std::max(position.QuadPart, size.QuadPart);
        }
    }
    ~StandardOutputRewind() { Rewind(); }
    StandardOutputRewind(const StandardOutputRewind&) = delete;
    StandardOutputRewind& operator=(const StandardOutputRewind&) = delete;

    void Keep() { m_output = nullptr; }
    // A stream the run has closed was whole: only one still open is cut back.
    void Rewind() {
        if (m_output && m_output->IsOpen() && SetFilePointerEx(m_output->GetHandle(), m_start, nullptr, FILE_BEGIN))
            SetEndOfFile(m_output->GetHandle());
        m_output = nullptr;
    }

private:
    const CFile* m_output = nullptr;
    LARGE_INTEGER m_start{};
};

}  // namespace

int ReportUsageError(const UsageError& error) {
    Message(LoadResStringW(error.message, {error.detail}));
    Message(LoadResStringW(IDS_CONSOLE_USAGE));
    return kUsageError;
}

int CodeStreams(const Request& request) {
    std::string key;
    if (const int code = LoadKey(request, key); code != kDone) return code;
    const KeyCoder coder(request.direction, key);
    const KeyWalk walk = request.text ? KeyWalk::Continuous : KeyWalk::FileChunks;

    StopRequest stop;
    try {
        FileToFile run(End(request.input, STD_INPUT_HANDLE, IDS_CONSOLE_STDIN),
                       End(request.output, STD_OUTPUT_HANDLE, IDS_CONSOLE_STDOUT));
        if (run.ReadsItsOwnOutput()) return ReportUsageError({IDS_SAME_FILE, {}});
        StandardOutputRewind rewind(run.OutputStream());

        ProgressLine line(run.Progress());
        // Any stop seen before the commit stops the run, even one that came as the input
        // ended, or with its end.
        const DWORD endGrace = run.InputIsDiskFile() ? 0 : kEndOfPipeGraceMs;
        auto stopped = [&] { return WaitForSingleObject(stop.Event(), endGrace) == WAIT_OBJECT_0; };
        auto coding = std::async(std::launch::async, [&] { return run.Run(coder, walk, stopped); });
        while (coding.wait_for(kTick) != std::future_status::ready) {
            line.Update();
            if (WaitForSingleObject(stop.Event(), 0) != WAIT_OBJECT_0) continue;
            run.Progress().cancel = true;
            if (coding.wait_for(std::chrono::milliseconds(kStopGraceMs)) == std::future_status::ready) break;
            // Still waiting in a read: the output is cleaned up under it, and the process
            // ends without it, since it cannot be joined.
            line.Clear();
            run.GiveUp();
            rewind.Rewind();
            Message(LoadResStringW(IDS_CONSOLE_STOPPED));
            ExitProcess(kFailed);
        }
        line.Clear();
        if (!coding.get()) {  // raises what the run raised
            Message(LoadResStringW(IDS_CONSOLE_STOPPED));
            return kFailed;
        }
        rewind.Keep();
        return kDone;
    } catch (const CFileException& e) {
        Message(FileErrorText(e));
        return kFailed;
    }
}

}  // namespace travok::console
