// OutputFile: a temporary file beside the output, put in its place by ReplaceFileW (an
// existing output) or MoveFileExW (a new one) once the result is whole.
#include "OutputFile.h"

#include <atomic>
#include <set>

#include "framework/Handles.h"
#include "framework/Path.h"

namespace travok {

namespace {

// Wine's ReplaceFileW copies the names into MAX_PATH buffers and builds a temporary name
// from them: a longer path overruns them. Such paths are replaced by a rename.
constexpr size_t kWineReplaceLimit = MAX_PATH - 14;

std::wstring Folder(const std::wstring& fullPath) { return fullPath.substr(0, fullPath.find_last_of(L'\\') + 1); }

std::wstring Hex(unsigned value) {
    static const wchar_t kDigits[] = L"0123456789abcdef";
    std::wstring text(8, L'0');
    for (int i = 7; i >= 0; --i, value >>= 4) text[static_cast<size_t>(i)] = kDigits[value & 15];
    return text;
}

// Wine's ReplaceFileW, when it fails, can leave an empty "rf*.tmp" of its own beside the
// target; these are the ones in folder now.
std::set<std::wstring> WineReplaceLeftovers(const std::wstring& folder) {
    std::set<std::wstring> names;
    WIN32_FIND_DATAW found;
    HANDLE first = FindFirstFileW(ExtendedLengthPath(folder + L"rf*.tmp").c_str(), &found);
    if (first == INVALID_HANDLE_VALUE) return names;
    const UniqueFind search(first);
    do {
        if (found.nFileSizeLow == 0 && found.nFileSizeHigh == 0) names.insert(found.cFileName);
    } while (FindNextFileW(search.get(), &found));
    return names;
}

}  // namespace

std::wstring CreateFreeTemporary(CFile& file, const std::wstring& folder, unsigned number) {
    for (;; ++number) {
        std::wstring name = folder + L"~travok-" + Hex(number) + L".tmp";
        try {
            file.Open(name, CFile::modeWrite | CFile::shareExclusive | CFile::modeCreateNew);
            return name;
        } catch (const CFileException& e) {
            if (e.m_lOsError != ERROR_FILE_EXISTS && e.m_lOsError != ERROR_ALREADY_EXISTS) throw;
        }
    }
}

OutputFile::OutputFile(const std::wstring& path, FileReplacer& replacer)
    : m_replacer(replacer), m_path(path), m_target(FullPath(path)) {
    // An existing output is opened for writing, exclusively, and left as it is: access
    // denied, sharing violations (the input under another name among them) and devices
    // show now, before anything is coded.
    try {
        m_file.Open(path, CFile::modeWrite | CFile::shareExclusive | CFile::typeNoDevice);
    } catch (const CFileException& e) {
        if (e.m_cause != CFileException::fileNotFound) throw;
    }
    if (m_file.IsOpen()) {
        if (GetFileType(m_file.GetHandle()) == FILE_TYPE_PIPE) return;  // streamed into as it is
        m_replaces = true;
        m_file.Close();
    }
    if (m_target.empty() || m_target.back() == L'\\')
        throw CFileException(CFileException::badPath, ERROR_PATH_NOT_FOUND, path);

    // Names that differ between processes, and between the outputs of one process.
    static std::atomic<unsigned> counter{0};
    const unsigned seed = GetCurrentProcessId() * 2654435761u ^ GetTickCount();
    try {
        m_temporary = CreateFreeTemporary(m_file, Folder(m_target), seed + counter++);
    } catch (const CFileException& e) {
        // Whatever keeps the temporary file from being made keeps the output from it.
        throw CFileException(e.m_cause, e.m_lOsError, path);
    }
    m_file.SetFilePath(m_target);
}

OutputFile::~OutputFile() { Discard(); }

void OutputFile::Discard() {
    m_file.Abort();
    if (!m_temporary.empty()) DeleteFileW(ExtendedLengthPath(m_temporary).c_str());
    m_temporary.clear();
}

void OutputFile::Fail(LONG error) {
    Discard();
    throw CFileException(CFileException::OsErrorToException(error), error, m_path);
}

void OutputFile::Commit() {
    m_file.Close();
    if (m_temporary.empty()) return;
    const std::wstring target = ExtendedLengthPath(m_target), temporary = ExtendedLengthPath(m_temporary);
    const auto targetExists = [&] { return GetFileAttributesW(target.c_str()) != INVALID_FILE_ATTRIBUTES; };
    DWORD error = ERROR_FILE_NOT_FOUND;  // until a replace or move says otherwise
    if (m_replaces && m_target.size() < kWineReplaceLimit) {
        const std::wstring folder = Folder(m_target);
        const std::set<std::wstring> before = WineReplaceLeftovers(folder);
        error = m_replacer.Replace(target, temporary);
        if (error != NO_ERROR) {
            for (const std::wstring& name : WineReplaceLeftovers(folder))
                if (!before.count(name)) DeleteFileW(ExtendedLengthPath(folder + name).c_str());
            // Only an output that went away during the run lets the result become a new file.
            if (error != ERROR_FILE_NOT_FOUND || targetExists()) Fail(static_cast<LONG>(error));
        }
    } else if (m_replaces) {
        // A path too long for ReplaceFileW: the result takes the output's attributes, and
        // is renamed over it.
        const DWORD attributes = GetFileAttributesW(target.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES) SetFileAttributesW(temporary.c_str(), attributes);
        error = m_replacer.Move(temporary, target, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
        if (error != NO_ERROR && targetExists()) Fail(static_cast<LONG>(error));
    }
    // A new output: never over a file that appeared meanwhile.
    if (error != NO_ERROR) {
        error = m_replacer.Move(temporary, target, MOVEFILE_WRITE_THROUGH);
        if (error != NO_ERROR) Fail(static_cast<LONG>(error));
    }
    m_temporary.clear();
}

}  // namespace travok
