// CFile over the Win32 file API, and the mapping of Win32 errors to file exception causes.
#include "File.h"

#include <utility>

#include "Handles.h"
#include "Path.h"

int CFileException::OsErrorToException(LONG osError) {
    switch (osError) {
    case NO_ERROR:
        return genericException;
    case ERROR_FILE_NOT_FOUND:
        return fileNotFound;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_INVALID_NAME:          // 123: a name with < > | ? * "
    case ERROR_BAD_PATHNAME:
    case ERROR_FILENAME_EXCED_RANGE:  // 206: a path too long for the platform
    case ERROR_DIRECTORY:
        return badPath;
    case ERROR_TOO_MANY_OPEN_FILES:
        return tooManyOpenFiles;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
        return accessDenied;
    case ERROR_INVALID_HANDLE:
        return invalidFile;
    case ERROR_CURRENT_DIRECTORY:
        return removeCurrentDir;
    case ERROR_SEEK:
    case ERROR_NEGATIVE_SEEK:
        return badSeek;
    case ERROR_NOT_READY:             // 21: Wine's answer to EIO
    case ERROR_CRC:
    case ERROR_WRITE_FAULT:
    case ERROR_READ_FAULT:
    case ERROR_GEN_FAILURE:
    case ERROR_IO_DEVICE:
        return hardIO;
    case ERROR_SHARING_VIOLATION:
    case ERROR_SHARING_BUFFER_EXCEEDED:
        return sharingViolation;
    case ERROR_LOCK_VIOLATION:
    case ERROR_DRIVE_LOCKED:
    case ERROR_LOCK_FAILED:
        return lockViolation;
    case ERROR_HANDLE_DISK_FULL:
    case ERROR_DISK_FULL:
        return diskFull;
    case ERROR_HANDLE_EOF:
        return endOfFile;
    default:
        return genericException;
    }
}

namespace {

// Whether path starts with a drive letter that has no drive behind it.
bool OnMissingDrive(const std::wstring& path) {
    const wchar_t letter = static_cast<wchar_t>(path.empty() ? 0 : path[0] | 0x20);
    if (path.size() < 2 || path[1] != L':' || letter < L'a' || letter > L'z') return false;
    const wchar_t root[] = {path[0], L':', L'\\', L'\0'};
    return GetDriveTypeW(root) == DRIVE_NO_ROOT_DIR;
}

}  // namespace

CFile::~CFile() { Abort(); }

void CFile::ThrowLastError(const std::wstring& fileName) const {
    LONG error = static_cast<LONG>(GetLastError());
    throw CFileException(CFileException::OsErrorToException(error), error, fileName);
}

void CFile::Open(const std::wstring& path, UINT flags) {
    if (IsOpen()) Close();

    DWORD access = GENERIC_READ;
    switch (flags & 3) {
    case modeWrite: access = GENERIC_WRITE; break;
    case modeReadWrite: access = GENERIC_READ | GENERIC_WRITE; break;
    }
    DWORD share = 0;
    switch (flags & 0x70) {
    case shareDenyWrite: share = FILE_SHARE_READ; break;
    case shareDenyRead: share = FILE_SHARE_WRITE; break;
    case shareDenyNone: share = FILE_SHARE_READ | FILE_SHARE_WRITE; break;
    }
    DWORD create = (flags & modeCreateNew) ? CREATE_NEW : (flags & modeCreate) ? CREATE_ALWAYS : OPEN_EXISTING;

    UniqueHandle file(CreateFileW(ExtendedLengthPath(path).c_str(), access, share, nullptr, create,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE) {
        LONG error = static_cast<LONG>(GetLastError());
        // Wine answers "file not found" for a name on a drive that does not exist,
        // even for a file to be created; Windows answers "path not found".
        if (error == ERROR_FILE_NOT_FOUND && OnMissingDrive(path)) error = ERROR_PATH_NOT_FOUND;
        throw CFileException(CFileException::OsErrorToException(error), error, path);
    }
    if (flags & typeNoDevice) {
        const DWORD type = GetFileType(file.get());
        if (type != FILE_TYPE_DISK && type != FILE_TYPE_PIPE)
            throw CFileException(CFileException::invalidFile, ERROR_BAD_FILE_TYPE, path);
    }
    m_hFile = file.release();
    m_strFilePath = FullPath(path);
    if (m_strFilePath.empty()) m_strFilePath = path;
}

void CFile::Attach(HANDLE handle, std::wstring name) {
    if (IsOpen()) Close();
    m_hFile = handle;
    m_strFilePath = std::move(name);
}

UINT CFile::Read(void* buffer, UINT count) {
    if (count == 0) return 0;
    DWORD read = 0;
    if (!ReadFile(m_hFile, buffer, count, &read, nullptr)) {
        // A pipe whose writer has closed its end says so with this error: it is the
        // pipe's end of file, not a fault.
        if (GetLastError() == ERROR_BROKEN_PIPE) return 0;
        ThrowLastError(std::wstring());
    }
    return read;
}

void CFile::Write(const void* buffer, UINT count) {
    if (count == 0) return;
    DWORD written = 0;
    if (!WriteFile(m_hFile, buffer, count, &written, nullptr)) ThrowLastError(m_strFilePath);
    // A full disk can report success with a short count and no error code.
    if (written != count) throw CFileException(CFileException::diskFull, ERROR_DISK_FULL, m_strFilePath);
}

void CFile::Close() {
    if (!IsOpen()) return;
    HANDLE h = m_hFile;
    m_hFile = INVALID_HANDLE_VALUE;
    if (!CloseHandle(h)) ThrowLastError(std::wstring());
}

void CFile::Abort() {
    if (IsOpen()) CloseHandle(std::exchange(m_hFile, INVALID_HANDLE_VALUE));
}

ULONGLONG CFile::GetLength() const {
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(m_hFile, &size)) ThrowLastError(std::wstring());
    return static_cast<ULONGLONG>(size.QuadPart);
}
