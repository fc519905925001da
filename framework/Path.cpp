// ModulePath, FullPath, ExtendedLengthPath and SameFileName.
#include "Path.h"

#include <vector>

namespace {

bool StartsWith(const std::wstring& text, const wchar_t* prefix) { return text.rfind(prefix, 0) == 0; }

}  // namespace

std::wstring ModulePath(HMODULE module) {
    std::vector<wchar_t> path(MAX_PATH);
    for (;;) {
        const DWORD n = GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return {};
        if (n < path.size()) return {path.data(), n};
        // A path that does not fit comes back cut to the buffer's size.
        path.resize(path.size() * 2);
    }
}

std::wstring FullPath(const std::wstring& path) {
    std::vector<wchar_t> full(MAX_PATH);
    for (;;) {
        const DWORD n = GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
        if (n == 0) return {};
        if (n < full.size()) return {full.data(), n};
        full.resize(n);  // n is the size needed, with the terminator
    }
}

std::wstring ExtendedLengthPath(const std::wstring& path) {
    // "\\?\", "\\.\" and "\??\" forms are already past the parser.
    if (StartsWith(path, L"\\\\?\\") || StartsWith(path, L"\\\\.\\") || StartsWith(path, L"\\??\\")) return path;
    const std::wstring full = FullPath(path);
    if (full.size() < MAX_PATH) return path;
    if (StartsWith(full, L"\\\\")) return L"\\\\?\\UNC\\" + full.substr(2);  // \\server\share\...
    if (full.size() >= 3 && full[1] == L':' && full[2] == L'\\') return L"\\\\?\\" + full;
    return path;
}

bool SameFileName(const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()),
                                TRUE) == CSTR_EQUAL;
}
