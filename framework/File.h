// CFile and CFileException: files over CreateFileW/ReadFile/WriteFile/CloseHandle, with
// every failure raised as a CFileException. Names are wide, so any file name works.
#pragma once

#include <exception>
#include <string>

#include "Win.h"

class CFileException : public std::exception {
public:
    // The causes, numbered from 0 in this order.
    enum Cause {
        none, genericException, fileNotFound, badPath, tooManyOpenFiles, accessDenied, invalidFile,
        removeCurrentDir, directoryFull, badSeek, hardIO, sharingViolation, lockViolation, diskFull, endOfFile,
    };

    CFileException(int cause, LONG osError, std::wstring fileName)
        : m_cause(cause), m_lOsError(osError), m_strFileName(std::move(fileName)) {}

    // The cause for a Win32 error code (GetLastError).
    static int OsErrorToException(LONG osError);

    const char* what() const noexcept override { return "file exception"; }

    int m_cause;
    LONG m_lOsError;
    std::wstring m_strFileName;  // as opened for a failed open; full path for a failed write
    // Full paths of files an output's failed commit could not put in place and left for
    // the user: the new result, and the output as it was. Empty for none.
    std::wstring m_strResultKept;
    std::wstring m_strOriginalKept;
};

class CFile {
public:
    enum OpenFlags : UINT {
        modeRead = 0x0000,
        modeWrite = 0x0001,
        modeReadWrite = 0x0002,
        shareExclusive = 0x0010,
        shareDenyWrite = 0x0020,
        shareDenyRead = 0x0030,
        shareDenyNone = 0x0040,
        modeCreate = 0x1000,
        // Refuse a device (NUL, CON, COM1, AUX, Linux's /dev/zero...): reading one may
        // block for ever or never end, and what is written to one is not kept. Raised
        // as invalidFile, naming the path as passed. Disk files and pipes are taken.
        typeNoDevice = 0x100000,
        // Create a new file, failing with ERROR_FILE_EXISTS when there is one already.
        modeCreateNew = 0x200000,
    };

    CFile() = default;
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;
    ~CFile();  // closes an open file, ignoring errors

    // Opens path with flags (OpenFlags); throws CFileException naming path as given.
    // A share mode of 0 is exclusive, like shareExclusive. A name on a drive that does
    // not exist is a bad path, under Wine as on Windows. Paths of any length work.
    void Open(const std::wstring& path, UINT flags);

    // Takes over handle, open already (a duplicate of a standard handle, say): the file
    // closes it, and write failures name it name.
    void Attach(HANDLE handle, std::wstring name);

    // Reads up to count bytes; returns how many were read, 0 at the end of the file (for a
    // pipe: once its writer has closed it).
    UINT Read(void* buffer, UINT count);

    // Writes all count bytes. A write that stores fewer bytes without an error means the
    // disk is full: it is raised as diskFull. Failures name the file's full path.
    void Write(const void* buffer, UINT count);

    // Closes the file; a failure is raised with an empty file name.
    void Close();
    // Closes the file, ignoring any failure: for a file given up after an error.
    void Abort();

    ULONGLONG GetLength() const;  // throws like Read
    bool IsOpen() const { return m_hFile != INVALID_HANDLE_VALUE; }
    const std::wstring& GetFilePath() const { return m_strFilePath; }
    // The name write failures report, for a file written in another's stead.
    void SetFilePath(std::wstring path) { m_strFilePath = std::move(path); }
    HANDLE GetHandle() const { return m_hFile; }

private:
    [[noreturn]] void ThrowLastError(const std::wstring& fileName) const;

    HANDLE m_hFile = INVALID_HANDLE_VALUE;
    std::wstring m_strFilePath;  // full path, for write failures
};
