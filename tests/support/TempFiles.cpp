// Throwaway folders, file helpers and Unix commands for tests.
#include "TempFiles.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "Driver.h"

namespace travok::test {

namespace {

// Names longer than MAX_PATH need the "\\?\" form on Windows.
std::wstring Long(const std::wstring& path) {
    return path.size() < MAX_PATH || path.rfind(L"\\\\?\\", 0) == 0 ? path : L"\\\\?\\" + path;
}

void RemoveTree(const std::wstring& dir) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(Long(dir + L"*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..") continue;
            const std::wstring path = dir + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(path + L"\\");
            } else {
                SetFileAttributesW(Long(path).c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(Long(path).c_str());
            }
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(Long(dir).c_str());
}
}  // namespace

std::wstring Wide(const std::string& ansi) {
    if (ansi.empty()) return {};
    const int n = MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), wide.data(), n);
    return wide;
}

std::string Utf8(const std::wstring& wide) {
    if (wide.empty()) return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr,
                                      nullptr);
    std::string utf8(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), utf8.data(), n, nullptr, nullptr);
    return utf8;
}

std::vector<std::wstring> FileNames(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(Long(folder + L"*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        const std::wstring name = found.cFileName;
        if (name != L"." && name != L"..") names.push_back(name);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
}

TempDir::TempDir() {
    char base[MAX_PATH];
    GetTempPathA(MAX_PATH, base);
    static unsigned counter = 0;
    for (;;) {
        m_path = std::string(base) + "travok-" + std::to_string(GetCurrentProcessId()) + "-" +
                 std::to_string(++counter) + "\\";
        if (CreateDirectoryA(m_path.c_str(), nullptr)) break;
        if (GetLastError() != ERROR_ALREADY_EXISTS) {
            ADD_FAILURE() << "cannot create " << m_path;
            break;
        }
    }
}

TempDir::~TempDir() { RemoveTree(PathW()); }

std::wstring TempDir::PathW() const { return Wide(m_path); }

bool FileExists(const std::string& path) { return FileExists(Wide(path)); }
std::string ReadBytes(const std::string& path) { return ReadBytes(Wide(path)); }
void WriteBytes(const std::string& path, const std::string& bytes) { WriteBytes(Wide(path), bytes); }

bool FileExists(const std::wstring& path) { return GetFileAttributesW(Long(path).c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string ReadBytes(const std::wstring& path) {
    HANDLE h = CreateFileW(Long(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        ADD_FAILURE() << "cannot read " << Utf8(path) << ": error " << GetLastError();
        return {};
    }
    std::string bytes;
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(h, buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
    CloseHandle(h);
    return bytes;
}

void WriteBytes(const std::wstring& path, const std::string& bytes) {
    HANDLE h = CreateFileW(Long(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE) << "cannot write " << Utf8(path) << ": error " << GetLastError();
    DWORD written = 0;
    BOOL ok = WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(h);
    ASSERT_TRUE(ok && written == bytes.size()) << "short write to " << Utf8(path);
}

std::string PatternBytes(size_t n, const std::string& alphabet, unsigned seed) {
    std::string bytes(n, '\0');
    unsigned state = seed * 2654435761u + 12345u;
    for (size_t i = 0; i < n; ++i) {
        state = state * 1103515245u + 12345u;
        bytes[i] = alphabet[(state >> 16) % alphabet.size()];
    }
    return bytes;
}

int RunUnix(const std::string& shellCommand, std::string* output) {
    // Wine cannot start Linux programs itself: wine-run keeps a runner that executes
    // scripts dropped into its spool folder and writes their exit codes beside them.
    char spool[MAX_PATH] = {};
    if (!GetEnvironmentVariableA("TRAVOK_UNIX_SPOOL", spool, MAX_PATH)) return -1;
    static unsigned counter = 0;
    const std::string job = std::string(spool) + "\\job-" + std::to_string(GetCurrentProcessId()) + "-" +
                            std::to_string(++counter);
    WriteBytes(job + ".tmp", shellCommand + "\n");
    if (!MoveFileA((job + ".tmp").c_str(), (job + ".sh").c_str())) return -1;
    if (!WaitFor([&] { return FileExists(job + ".rc"); }, 120000, 5)) return -1;
    const int code = std::atoi(ReadBytes(job + ".rc").c_str());
    if (output) *output = ReadBytes(job + ".out");
    DeleteFileA((job + ".rc").c_str());
    DeleteFileA((job + ".out").c_str());
    return code;
}

}  // namespace travok::test
