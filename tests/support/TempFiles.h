// Throwaway folders and whole-file reads and writes for tests.
#pragma once

#include <string>
#include <vector>

namespace travok::test {

// A fresh folder under the Windows temp folder, removed with everything in it.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& Path() const { return m_path; }  // with a final '\'
    std::string File(const std::string& name) const { return m_path + name; }
    std::wstring PathW() const;
    std::wstring FileW(const std::wstring& name) const { return PathW() + name; }

private:
    std::string m_path;
};

bool FileExists(const std::string& path);
std::string ReadBytes(const std::string& path);  // the whole file; fails the test if unreadable
void WriteBytes(const std::string& path, const std::string& bytes);
// The same for wide names, of any length.
bool FileExists(const std::wstring& path);
std::string ReadBytes(const std::wstring& path);
void WriteBytes(const std::wstring& path, const std::string& bytes);

// Conversions for test texts: the active code page, and UTF-8 for messages.
std::wstring Wide(const std::string& ansi);
std::string Utf8(const std::wstring& wide);

// The names of the files in folder (with a final '\'), sorted.
std::vector<std::wstring> FileNames(const std::wstring& folder);

// A deterministic byte string of n bytes over the given alphabet of byte values.
std::string PatternBytes(size_t n, const std::string& alphabet, unsigned seed = 1);

// Runs a Linux shell command as the user running the tests (through wine-run's runner,
// since Wine cannot start Linux programs) and waits for it; returns its exit code, or
// -1 when it could not be run. output, if given, receives what it printed.
int RunUnix(const std::string& shellCommand, std::string* output = nullptr);

}  // namespace travok::test
