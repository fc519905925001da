// One file-to-file run as every front end makes it: the input opened, the output taken,
// the input coded into it, and the output put in place once whole.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <variant>

#include "FileRun.h"
#include "OutputFile.h"
#include "RunProgress.h"

namespace travok {

// A file named as the user typed it.
struct NamedFile {
    std::wstring path;
};
// One of the process's standard streams (STD_INPUT_HANDLE, STD_OUTPUT_HANDLE), called
// name in messages.
struct StandardStream {
    DWORD id;
    std::wstring name;
};
// Where a run reads from, or writes to.
using RunEnd = std::variant<NamedFile, StandardStream>;

// When a run's ends are opened: at once, or by Run on its own thread, where a brief hold
// on a file is waited out without keeping a window from its messages.
enum class Opening { Now, InRun };

class FileToFile {
public:
    // Opens the input, then the output: when the input cannot be opened, the output is
    // never touched. A named input is opened exclusively, so that the same file under
    // another name cannot be the output, and a device is refused; a named output is an
    // OutputFile. A brief hold on either is waited out. A failure is raised as
    // CFileException, here or, for Opening::InRun, by Run.
    FileToFile(const RunEnd& input, const RunEnd& output, Opening opening = Opening::Now);
    FileToFile(const FileToFile&) = delete;
    FileToFile& operator=(const FileToFile&) = delete;

    // How far the run is, and its stop request, for whoever watches it.
    RunProgress& Progress() { return m_progress; }

    // Whether the input and the output are one file on disk, whatever their names: a
    // standard output that appends to the input would read its own output for ever.
    bool ReadsItsOwnOutput() const;

    // The standard stream the result is written into as it comes, for what a front end
    // does around it; nullptr for a named output, which is replaced only once whole.
    const CFile* OutputStream() const { return m_output ? nullptr : &m_stream; }

    // Opens the ends if they are not yet, then codes the input into the output on the
    // calling thread, once. A run that reached
    // the input's end with no stop requested puts the output in place, closes the input
    // and returns true; a stopped one returns false. A failure is raised as
    // CFileException. Stopped or failed before the commit, a named output is as it was.
    // stopAtEnd, when given, is asked once the input has ended, before the commit: true
    // stops the run there.
    bool Run(const KeyCoder& coder, KeyWalk walk = KeyWalk::FileChunks, const std::function<bool()>& stopAtEnd = {});

    // Whether the input is a file on disk, whose end is its size, not a pipe's or a
    // console's close.
    bool InputIsDiskFile() const;

    // For a run that cannot be waited for, stuck in a read that does not return: a named
    // output's temporary file is removed under it. The process is to end next.
    void GiveUp() { m_output.reset(); }

private:
    CFile& Output() { return m_output ? m_output->File() : m_stream; }
    void Open(const RunEnd& input, const RunEnd& output);

    struct Ends {
        RunEnd input, output;
    };
    std::optional<Ends> m_unopened;  // for Run to open

    CFile m_input;
    CFile m_stream;                      // the output, when it is a standard stream
    std::optional<OutputFile> m_output;  // the output, when it is a named file
    RunProgress m_progress;
};

}  // namespace travok
