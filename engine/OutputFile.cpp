// OutputFile: a temporary file beside the output, put in its place by ReplaceFileW (an
// existing output) or MoveFileExW (a new one) once the result is whole.
#include "OutputFile.h"

#include <atomic>
#include <set>

#include "framework/Handles.h"
#include "framework/Path.h"
#include "framework/Wine.h"

namespace travok {

namespace {

// Wine's ReplaceFileW copies the names into MAX_PATH buffers and builds a temporary name
// from them: a longer path overruns them. Under Wine such paths are replaced by a rename;
// Windows' takes "\\?\" paths of any length, and keeps what a rename loses (the output's
// security, times, streams and short name).
constexpr size_t kWineReplaceLimit = MAX_PATH - 14;

bool ReplaceableByReplaceFile(const std::wstring& fullPath) {
    return fullPath.size() < kWineReplaceLimit || !RunningUnderWine();
}

std::wstring Folder(const std::wstring& fullPath) { return fullPath.substr(0, fullPath.find_last_of(L'\\') + 1); }

std::wstring Hex(unsigned value) {
    static const wchar_t kDigits[] = L"0123456789abcdef";
    std::wstring text(8, L'0');
    for (int i = 7; i >= 0; --i, value >>= 4) text[static_cast<size_t>(i)] = kDigits[value & 15];
    return text;
}

// Wine's ReplaceFileW, when it fails, can leave an empty "rf*.tmp" of its own beside the
// target; these are the ones in folder now. Windows leaves none, and there an empty file
// of that pattern is another program's: none is ever looked for.
std::set<std::wstring> WineReplaceLeftovers(const std::wstring& folder) {
    std::set<std::wstring> names;
    if (!RunningUnderWine()) return names;
    WIN32_FIND_DATAW found;
    HANDLE first = FindFirstFileW(ExtendedLengthPath(folder + L"rf*.tmp").c_str(), &found);
    if (first == INVALID_HANDLE_VALUE) return names;
    const UniqueFind search(first);
    do {
        if (found.nFileSizeLow == 0 && found.nFileSizeHigh == 0) names.insert(found.cFileName);
    } while (FindNextFileW(search.get(), &found));
    return names;
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

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

OutputFile::OutputFile(const std::wstring& path, FileReplacer& replacer, RetryClock& clock)
    : m_replacer(replacer), m_clock(clock), m_path(path), m_target(FullPath(path)) {
    // An existing output is opened for writing, exclusively, and left as it is: access
    // denied, sharing violations (the input under another name among them) and devices
    // show now, before anything is coded.
    try {
        OpenWhenFree(m_file, path, CFile::modeWrite | CFile::shareExclusive | CFile::typeNoDevice, m_clock);
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
    m_seed = (GetCurrentProcessId() * 2654435761u ^ GetTickCount()) + counter++;
    try {
        m_temporary = CreateFreeTemporary(m_file, Folder(m_target), m_seed);
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

DWORD OutputFile::MoveIntoEmptyName(const std::wstring& from) {
    // Never over a file that appeared meanwhile.
    const std::wstring target = ExtendedLengthPath(m_target);
    return RetryWhileHeld([&] { return m_replacer.Move(from, target, MOVEFILE_WRITE_THROUGH); }, m_clock);
}

void OutputFile::ReplaceExisting() {
    const std::wstring folder = Folder(m_target);
    const std::wstring target = ExtendedLengthPath(m_target), temporary = ExtendedLengthPath(m_temporary);
    // The old bytes go to a backup beside the output, under a free name found as the
    // temporary's was, so that whatever a failed replace leaves, they are where we know.
    std::wstring backupName;
    try {
        CFile reserve;
        backupName = CreateFreeTemporary(reserve, folder, m_seed + 1);
    } catch (const CFileException& e) {
        Fail(e.m_lOsError);
    }
    const std::wstring backup = ExtendedLengthPath(backupName);
    DeleteFileW(backup.c_str());  // the replace makes it

    const std::set<std::wstring> before = WineReplaceLeftovers(folder);
    const DWORD error = RetryWhileHeld([&] { return m_replacer.Replace(target, temporary, backup); }, m_clock);
    if (error == NO_ERROR) {
        DeleteFileW(backup.c_str());
        m_temporary.clear();
        return;
    }
    for (const std::wstring& name : WineReplaceLeftovers(folder))
        if (!before.count(name)) DeleteFileW(ExtendedLengthPath(folder + name).c_str());
    // Whenever the output still has its name after a failed replace, that is the old file
    // (a backup is then at most a copy of it): the run is given up.
    if (Exists(target)) {
        DeleteFileW(backup.c_str());
        Fail(static_cast<LONG>(error));
    }
    // The name is empty. The old bytes are in the backup (ERROR_UNABLE_TO_MOVE_REPLACEMENT_2)
    // or gone (ERROR_UNABLE_TO_MOVE_REPLACEMENT without a backup, or an output removed
    // during the run): the backup goes back, or else the result takes the name.
    const bool backedUp = Exists(backup);
    if (backedUp && MoveIntoEmptyName(backup) == NO_ERROR) Fail(static_cast<LONG>(error));
    if (MoveIntoEmptyName(temporary) == NO_ERROR) {
        if (backedUp) DeleteFileW(backup.c_str());
        m_temporary.clear();
        return;
    }
    KeepAndFail(error, backedUp ? backupName : std::wstring());
}

void OutputFile::KeepAndFail(DWORD error, const std::wstring& original) {
    // Neither the old bytes nor the new ones could take the name: the files that hold
    // them stay, and the report says where.
    CFileException e(CFileException::OsErrorToException(static_cast<LONG>(error)), static_cast<LONG>(error), m_path);
    e.m_strResultKept = m_temporary;
    e.m_strOriginalKept = original;
    m_temporary.clear();
    throw e;
}

void OutputFile::Commit() {
    m_file.Close();
    if (m_temporary.empty()) return;
    const std::wstring target = ExtendedLengthPath(m_target), temporary = ExtendedLengthPath(m_temporary);
    if (m_replaces && ReplaceableByReplaceFile(m_target)) {
        ReplaceExisting();
        return;
    }
    DWORD error = NO_ERROR;
    if (m_replaces) {
        // A path too long for Wine's ReplaceFileW: the result takes the output's attributes,
        // and is renamed over it, which is whole or not done at all.
        const DWORD attributes = GetFileAttributesW(target.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES) SetFileAttributesW(temporary.c_str(), attributes);
        error = RetryWhileHeld(
            [&] { return m_replacer.Move(temporary, target, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH); },
            m_clock);
        if (error == NO_ERROR) {
            m_temporary.clear();
            return;
        }
        if (Exists(target)) Fail(static_cast<LONG>(error));
    }
    // A new output, or one removed during the run.
    const DWORD moved = MoveIntoEmptyName(temporary);
    if (moved == NO_ERROR) {
        m_temporary.clear();
        return;
    }
    // An output that was there when the run began and is gone now keeps the result.
    if (m_replaces && !Exists(target)) KeepAndFail(moved, {});
    Fail(static_cast<LONG>(moved));
}

}  // namespace travok
