// Path helpers: the program's own path, the long-path form CreateFileW is given, and the
// same-name comparison.
#include <gtest/gtest.h>

#include "TempFiles.h"
#include "framework/File.h"
#include "framework/Path.h"

using travok::test::TempDir;
using travok::test::Utf8;

namespace {

std::wstring Repeat(const std::wstring& part, size_t times) {
    std::wstring out;
    for (size_t i = 0; i < times; ++i) out += part;
    return out;
}

TEST(ExtendedLengthPath, OnlyPathsTooLongForThePlatformGetThePrefix) {
    const std::wstring deep = L"C:\\" + Repeat(L"folder-of-twenty-ch\\", 14) + L"file.txt";  // 291 characters
    const std::wstring share = L"\\\\server\\share\\" + Repeat(L"folder-of-twenty-ch\\", 13) + L"file.txt";
    struct Case {
        const char* what;
        std::wstring path;
        std::wstring expected;
    } cases[] = {
        {"a short full path", L"C:\\in.txt", L"C:\\in.txt"},
        {"a short relative path", L"in.txt", L"in.txt"},
        {"a device", L"NUL", L"NUL"},
        {"a device path", L"\\\\.\\pipe\\travok", L"\\\\.\\pipe\\travok"},
        {"a long full path", deep, L"\\\\?\\" + deep},
        {"a long path, already prefixed", L"\\\\?\\" + deep, L"\\\\?\\" + deep},
        {"a long path with dot and dot-dot", L"C:\\x\\..\\.\\" + deep.substr(3), L"\\\\?\\" + deep},
        {"a long path with forward slashes", L"C:/" + deep.substr(3), L"\\\\?\\" + deep},
        {"a long network path", share, L"\\\\?\\UNC\\" + share.substr(2)},
    };
    for (const Case& c : cases) EXPECT_EQ(Utf8(ExtendedLengthPath(c.path)), Utf8(c.expected)) << c.what;
}

TEST(ExtendedLengthPath, LongRelativePathsBecomeFullOnes) {
    const std::wstring relative = Repeat(L"folder-of-twenty-ch\\", 14) + L"file.txt";
    const std::wstring result = ExtendedLengthPath(relative);
    EXPECT_EQ(Utf8(result), Utf8(L"\\\\?\\" + FullPath(relative)));
    EXPECT_GT(result.size(), relative.size());
}

TEST(SameFileName, ComparesOrdinallyIgnoringOnlyCase) {
    struct Case {
        const wchar_t* a;
        const wchar_t* b;
        bool same;
        const char* why;
    } cases[] = {
        {L"C:\\Data\\IN.txt", L"c:\\data\\in.txt", true, "letter case"},
        {L"\u0141\u00f3d\u017a.txt", L"\u0142\u00d3D\u0179.TXT", true, "letter case outside ASCII"},
        {L"\u0416.txt", L"\u0436.txt", true, "Cyrillic letter case"},
        {L"stra\u00dfe.txt", L"strasse.txt", false, "sharp s is not ss"},
        {L"\u00e6.txt", L"ae.txt", false, "ae ligature is not ae"},
        {L"in\u00adfile.txt", L"infile.txt", false, "a soft hyphen is a character"},
        {L"\u0141odz.txt", L"Lodz.txt", false, "a look-alike is another letter"},
        {L"e\u0301.txt", L"\u00e9.txt", false, "composed and decomposed forms are other names"},
        {L"in.txt", L"in.txt ", false, "a trailing space"},
    };
    for (const auto& c : cases) EXPECT_EQ(SameFileName(c.a, c.b), c.same) << c.why;
}

// A copy of this test program, loaded as a module from where the ANSI call fails: a name
// the code page cannot spell ("?" names no file), a path longer than a fixed buffer.
TEST(ModulePath, NamesTheModuleWholeInAnyScriptAndAtAnyLength) {
    const std::wstring self = ModulePath();
    ASSERT_NE(GetFileAttributesW(self.c_str()), INVALID_FILE_ATTRIBUTES) << Utf8(self);
    EXPECT_EQ(Utf8(self.substr(self.find_last_of(L'\\') + 1)), "framework_tests.exe");

    TempDir dir;
    std::wstring deep = dir.PathW();
    while (deep.size() < 1100) {
        deep += Repeat(L"folder-of-twenty-ch", 3) + L"\\";
        ASSERT_TRUE(CreateDirectoryW(ExtendedLengthPath(deep).c_str(), nullptr)) << GetLastError();
    }
    struct Case {
        const char* what;
        std::wstring path;
    } cases[] = {
        {"a short ASCII path", dir.FileW(L"copy.exe")},
        {"letters outside the code page", dir.FileW(L"\u0141\u00f3d\u017a-\u041a\u0438\u0457\u0432-\u6f22\u5b57.exe")},
        {"a path of over 1,100 characters", deep + L"copy.exe"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(CopyFileW(self.c_str(), ExtendedLengthPath(c.path).c_str(), TRUE)) << GetLastError();
        HMODULE module = LoadLibraryExW(ExtendedLengthPath(c.path).c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES);
        ASSERT_NE(module, nullptr) << GetLastError();
        std::wstring path = ModulePath(module);
        FreeLibrary(module);
        // Windows may hand back the "\\?\" the module was loaded by; Wine leaves it out.
        if (path.rfind(L"\\\\?\\", 0) == 0) path.erase(0, 4);
        EXPECT_EQ(Utf8(path), Utf8(c.path));
    }
}

TEST(File, OpensNamesOutsideTheCodePageAndPathsOfAnyLength) {
    TempDir dir;
    std::wstring folder = dir.PathW();
    while (folder.size() < 1100) {
        folder += Repeat(L"\u0141\u00f3d\u017a-\u041a\u0438\u0457\u0432-", 6) + L"\\";
        ASSERT_TRUE(CreateDirectoryW(ExtendedLengthPath(folder).c_str(), nullptr)) << GetLastError();
    }
    for (const std::wstring& path : {dir.FileW(L"\u6f22\u5b57-\U0001F600.txt"), folder + L"\u0141\u00f3d\u017a.txt"}) {
        SCOPED_TRACE(Utf8(path));
        {
            CFile out;
            out.Open(path, CFile::modeWrite | CFile::modeCreate);
            out.Write("abc", 3);
            out.Close();
        }
        CFile in;
        in.Open(path, CFile::modeRead);
        char buffer[8] = {};
        EXPECT_EQ(in.Read(buffer, sizeof buffer), 3u);
        EXPECT_EQ(in.GetFilePath(), path);
    }
}

}  // namespace
