// The run: the key from the command line or a key file, the input from a file or standard
// input, the output into a file (replaced only once whole) or standard output, coded by
// the file run the page uses, while this thread shows progress and watches for Ctrl+C.
#include "Run.h"

#include <algorithm>
#include <chrono>
#include <future>
#include <optional>

#include "Console.h"
#include "ConsoleResource.h"
#include "ProgressLine.h"
#include "StopRequest.h"
#include "engine/FileErrorText.h"
#include "engine/FileRun.h"
#include "engine/KeyFile.h"
#include "engine/OutputFile.h"
#include "framework/String.h"
#include "res/resource.h"

namespace travok::console {

namespace {

constexpr auto kTick = std::chrono::milliseconds(100);
// A run waiting in a read (an idle pipe, a console) sees a stop only once the read
// returns. After this long it is given up, and the output cleaned up without it.
constexpr DWORD kStopGraceMs = 2000;

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

// A standard handle as a file of its own, named name in messages.
void AttachStandard(CFile& file, DWORD stdHandle, UINT name) {
    HANDLE process = GetCurrentProcess(), copy = nullptr;
    HANDLE handle = GetStdHandle(stdHandle);
    if (!handle || handle == INVALID_HANDLE_VALUE ||
        !DuplicateHandle(process, handle, process, &copy, 0, FALSE, DUPLICATE_SAME_ACCESS))
        throw CFileException(CFileException::invalidFile, ERROR_INVALID_HANDLE, LoadResStringW(name));
    file.Attach(copy, LoadResStringW(name));
}

bool IsDiskFile(const CFile& file) { return GetFileType(file.GetHandle()) == FILE_TYPE_DISK; }

// Whether two open disk files are one file, whatever the names they were opened by.
bool SameFile(const CFile& a, const CFile& b) {
    BY_HANDLE_FILE_INFORMATION ia{}, ib{};
    return IsDiskFile(a) && IsDiskFile(b) && GetFileInformationByHandle(a.GetHandle(), &ia) &&
           GetFileInformationByHandle(b.GetHandle(), &ib) && ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber &&
           ia.nFileIndexHigh == ib.nFileIndexHigh && ia.nFileIndexLow == ib.nFileIndexLow;
}

// Standard output redirected into a file ("> out", ">> out") cannot be replaced whole
// as a named output is; instead, a run that does not finish cuts it back to where it
// started, so that it holds no partial result.
class StandardOutputRewind {
public:
    explicit StandardOutputRewind(CFile& output) {
        // Writes go to the current position, or to the end for a file opened to append
        // (">>"), whose position says nothing: the later of the two, so that no byte
        // the file held before the run is ever cut away.
        LARGE_INTEGER zero{}, position{}, size{};
        if (IsDiskFile(output) && SetFilePointerEx(output.GetHandle(), zero, &position, FILE_CURRENT) &&
            GetFileSizeEx(output.GetHandle(), &size)) {
            m_file = output.GetHandle();
            m_start.QuadPart = std::max(position.QuadPart, size.QuadPart);
        }
    }
    ~StandardOutputRewind() { Rewind(); }
    StandardOutputRewind(const StandardOutputRewind&) = delete;
    StandardOutputRewind& operator=(const StandardOutputRewind&) = delete;

    void Keep() { m_file = nullptr; }
    void Rewind() {
        if (m_file && SetFilePointerEx(m_file, m_start, nullptr, FILE_BEGIN)) SetEndOfFile(m_file);
        m_file = nullptr;
    }

private:
    HANDLE m_file = nullptr;
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
    RunProgress progress;
    CFile input, standardOutput;
    std::optional<OutputFile> outputFile;
    try {
        // The input is opened first: when it cannot be, the output is never touched.
        if (request.input.empty())
            AttachStandard(input, STD_INPUT_HANDLE, IDS_CONSOLE_STDIN);
        else
            input.Open(request.input, CFile::modeRead | CFile::shareExclusive | CFile::typeNoDevice);
        if (request.output.empty())
            AttachStandard(standardOutput, STD_OUTPUT_HANDLE, IDS_CONSOLE_STDOUT);
        else
            outputFile.emplace(request.output);
        CFile& output = outputFile ? outputFile->File() : standardOutput;
        // Standard output appending to the input would read its own output for ever.
        if (SameFile(input, output)) return ReportUsageError({IDS_SAME_FILE, {}});
        StandardOutputRewind rewind(standardOutput);
        if (IsDiskFile(input)) progress.total = input.GetLength();

        ProgressLine line(progress);
        auto run = std::async(std::launch::async, [&] { return CodeFile(coder, input, output, progress, walk); });
        bool stopped = false;
        while (run.wait_for(kTick) != std::future_status::ready) {
            line.Update();
            if (WaitForSingleObject(stop.Event(), 0) != WAIT_OBJECT_0) continue;
            progress.cancel = stopped = true;
            if (run.wait_for(std::chrono::milliseconds(kStopGraceMs)) == std::future_status::ready) break;
            // Still waiting in a read: the output is cleaned up under it, and the process
            // ends without it, since it cannot be joined.
            line.Clear();
            outputFile.reset();
            rewind.Rewind();
            Message(LoadResStringW(IDS_CONSOLE_STOPPED));
            ExitProcess(kFailed);
        }
        line.Clear();
        const bool complete = run.get();  // raises what the run raised
        // A stop that came while the last block was written still stops the run.
        if (!complete || stopped) {
            Message(LoadResStringW(IDS_CONSOLE_STOPPED));
            return kFailed;
        }
        rewind.Keep();
        if (outputFile) outputFile->Commit();
        else standardOutput.Close();
        input.Close();
        return kDone;
    } catch (const CFileException& e) {
        Message(FileErrorText(e));
        return kFailed;
    }
}

}  // namespace travok::console
