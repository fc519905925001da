// CFile and CFileException: the Win32 error mapping and the file names that failures carry.
#include <gtest/gtest.h>

#include "TempFiles.h"
#include "framework/File.h"

using travok::test::TempDir;
using travok::test::Wide;

namespace {

struct ErrorCase {
    LONG osError;
    int cause;
};

// Wine's answers for each fault (see the fault notes) and the cause each must become.
const ErrorCase kErrors[] = {
    {NO_ERROR, CFileException::genericException},
    {ERROR_FILE_NOT_FOUND, CFileException::fileNotFound},
    {ERROR_PATH_NOT_FOUND, CFileException::badPath},
    {ERROR_INVALID_NAME, CFileException::badPath},
    {ERROR_FILENAME_EXCED_RANGE, CFileException::badPath},
    {ERROR_INVALID_DRIVE, CFileException::badPath},
    {ERROR_TOO_MANY_OPEN_FILES, CFileException::tooManyOpenFiles},
    {ERROR_ACCESS_DENIED, CFileException::accessDenied},
    {ERROR_INVALID_HANDLE, CFileException::invalidFile},
    {ERROR_CURRENT_DIRECTORY, CFileException::removeCurrentDir},
    {ERROR_NEGATIVE_SEEK, CFileException::badSeek},
    {ERROR_NOT_READY, CFileException::hardIO},
    {ERROR_CRC, CFileException::hardIO},
    {ERROR_SHARING_VIOLATION, CFileException::sharingViolation},
    {ERROR_LOCK_VIOLATION, CFileException::lockViolation},
    {ERROR_HANDLE_DISK_FULL, CFileException::diskFull},
    {ERROR_DISK_FULL, CFileException::diskFull},
    {ERROR_HANDLE_EOF, CFileException::endOfFile},
    {ERROR_NOT_SUPPORTED, CFileException::genericException},
};

TEST(FileException, MapsEachWin32ErrorToItsCause) {
    for (const ErrorCase& c : kErrors)
        EXPECT_EQ(CFileException::OsErrorToException(c.osError), c.cause) << "Win32 error " << c.osError;
}

CFileException OpenFailure(const std::string& path, UINT flags) {
    CFile file;
    try {
        file.Open(Wide(path), flags);
    } catch (const CFileException& e) {
        return e;
    }
    ADD_FAILURE() << "opening " << path << " succeeded";
    return CFileException(CFileException::none, 0, {});
}

TEST(File, FailedOpensNameThePathAsPassed) {
    TempDir dir;
    CFileException missing = OpenFailure(dir.File("missing.txt"), CFile::modeRead);
    EXPECT_EQ(missing.m_cause, CFileException::fileNotFound);
    EXPECT_EQ(missing.m_strFileName, Wide(dir.File("missing.txt")));

    CFileException noFolder = OpenFailure(dir.File("no\\such.txt"), CFile::modeWrite | CFile::modeCreate);
    EXPECT_EQ(noFolder.m_cause, CFileException::badPath);
    EXPECT_EQ(noFolder.m_strFileName, Wide(dir.File("no\\such.txt")));

    EXPECT_EQ(OpenFailure(dir.File("a|b"), CFile::modeRead).m_cause, CFileException::badPath);
    EXPECT_EQ(OpenFailure(dir.Path(), CFile::modeRead).m_cause, CFileException::accessDenied);
}

TEST(File, ExclusiveOpenMakesASecondOpenASharingViolation) {
    TempDir dir;
    travok::test::WriteBytes(dir.File("held.txt"), "x");
    CFile holder;
    holder.Open(Wide(dir.File("held.txt")), CFile::modeRead | CFile::shareExclusive);
    EXPECT_EQ(OpenFailure(dir.File("held.txt"), CFile::modeRead).m_cause, CFileException::sharingViolation);
}

TEST(File, WritesReadsAndLengthRoundTrip) {
    TempDir dir;
    const std::string bytes("a\0b\r\nc", 6);
    {
        CFile out;
        out.Open(Wide(dir.File("f.bin")), CFile::modeWrite | CFile::modeCreate);
        out.Write(bytes.data(), static_cast<UINT>(bytes.size()));
        out.Close();
        out.Close();  // closing twice is harmless
    }
    CFile in;
    in.Open(Wide(dir.File("f.bin")), CFile::modeRead);
    EXPECT_EQ(in.GetLength(), bytes.size());
    char buffer[16] = {};
    EXPECT_EQ(in.Read(buffer, sizeof buffer), bytes.size());
    EXPECT_EQ(std::string(buffer, bytes.size()), bytes);
    EXPECT_EQ(in.Read(buffer, sizeof buffer), 0u);
}

TEST(File, FailedWriteNamesTheFullPathAndFailedReadNoName) {
    TempDir dir;
    travok::test::WriteBytes(dir.File("r.txt"), "abc");
    CFile readOnly;
    readOnly.Open(Wide(dir.File("r.txt")), CFile::modeRead | CFile::shareDenyNone);
    try {
        readOnly.Write("x", 1);
        ADD_FAILURE() << "write to a read-only handle succeeded";
    } catch (const CFileException& e) {
        EXPECT_EQ(e.m_cause, CFileException::accessDenied);
        EXPECT_EQ(e.m_strFileName, Wide(dir.File("r.txt")));
    }
    CFile writeOnly;
    writeOnly.Open(Wide(dir.File("r.txt")), CFile::modeWrite | CFile::shareDenyNone);
    char c;
    try {
        writeOnly.Read(&c, 1);
        ADD_FAILURE() << "read from a write-only handle succeeded";
    } catch (const CFileException& e) {
        EXPECT_EQ(e.m_cause, CFileException::accessDenied);
        EXPECT_EQ(e.m_strFileName, L"");
    }
}

TEST(File, WriteToAFullDeviceIsDiskFull) {
    CFile full;
    full.Open(L"Z:\\dev\\full", CFile::modeWrite | CFile::shareDenyNone);
    try {
        full.Write("abc", 3);
        ADD_FAILURE() << "write to /dev/full succeeded";
    } catch (const CFileException& e) {
        EXPECT_EQ(e.m_cause, CFileException::diskFull);
    }
}

}  // namespace
