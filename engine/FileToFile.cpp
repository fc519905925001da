// FileToFile: the two ends opened, the coding, and the commit.
#include "FileToFile.h"

#include "HeldRetry.h"

namespace travok {

namespace {

// A standard stream as a file of its own, named name in messages. A duplicate: closing
// the file leaves the process's own handle open.
void AttachStandard(CFile& file, const StandardStream& stream) {
    HANDLE process = GetCurrentProcess(), copy = nullptr;
    HANDLE handle = GetStdHandle(stream.id);
    if (!handle || handle == INVALID_HANDLE_VALUE ||
        !DuplicateHandle(process, handle, process, &copy, 0, FALSE, DUPLICATE_SAME_ACCESS))
        throw CFileException(CFileException::invalidFile, ERROR_INVALID_HANDLE, stream.name);
    file.Attach(copy, stream.name);
}

bool IsDiskFile(const CFile& file) { return GetFileType(file.GetHandle()) == FILE_TYPE_DISK; }

}  // namespace

FileToFile::FileToFile(const RunEnd& input, const RunEnd& output, Opening opening) {
    if (opening == Opening::InRun)
        m_unopened = Ends{input, output};
    else
        Open(input, output);
}

void FileToFile::Open(const RunEnd& input, const RunEnd& output) {
    if (const auto* named = std::get_if<NamedFile>(&input))
        OpenWhenFree(m_input, named->path, CFile::modeRead | CFile::shareExclusive | CFile::typeNoDevice);
    else
        AttachStandard(m_input, std::get<StandardStream>(input));
    if (const auto* named = std::get_if<NamedFile>(&output))
        m_output.emplace(named->path);
    else
        AttachStandard(m_stream, std::get<StandardStream>(output));
    // A pipe's size is not known until it ends.
    if (IsDiskFile(m_input)) m_progress.total = m_input.GetLength();
}

bool FileToFile::ReadsItsOwnOutput() const {
    // A named output is written into a new temporary file, never the input.
    if (m_output) return false;
    BY_HANDLE_FILE_INFORMATION in{}, out{};
    return IsDiskFile(m_input) && IsDiskFile(m_stream) && GetFileInformationByHandle(m_input.GetHandle(), &in) &&
           GetFileInformationByHandle(m_stream.GetHandle(), &out) &&
           in.dwVolumeSerialNumber == out.dwVolumeSerialNumber && in.nFileIndexHigh == out.nFileIndexHigh &&
           in.nFileIndexLow == out.nFileIndexLow;
}

bool FileToFile::InputIsDiskFile() const { return IsDiskFile(m_input); }

bool FileToFile::Run(const KeyCoder& coder, KeyWalk walk, const std::function<bool()>& stopAtEnd) {
    if (m_unopened) {
        const Ends ends = std::move(*m_unopened);
        m_unopened.reset();
        Open(ends.input, ends.output);
    }
    const bool complete = CodeFile(coder, m_input, Output(), m_progress, walk);
    // A stop that came while the last block was written still stops the run. The
    // temporary file goes at once: the process may end soon after a stop (the session
    // ending).
    if (!complete || m_progress.cancel || (stopAtEnd && stopAtEnd())) {
        if (m_output) m_output->Discard();
        return false;
    }
    if (m_output) m_output->Commit();
    else m_stream.Close();
    m_input.Close();
    return true;
}

}  // namespace travok
