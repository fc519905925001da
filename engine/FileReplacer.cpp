// SystemFileReplacer: ReplaceFileW and MoveFileExW as they are.
#include "FileReplacer.h"

namespace travok {

SystemFileReplacer& SystemFileReplacer::Instance() {
    static SystemFileReplacer instance;
    return instance;
}

DWORD SystemFileReplacer::Replace(const std::wstring& target, const std::wstring& replacement,
                                  const std::wstring& backup) {
    if (ReplaceFileW(target.c_str(), replacement.c_str(), backup.c_str(), REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr,
                     nullptr))
        return NO_ERROR;
    return GetLastError();
}

DWORD SystemFileReplacer::Move(const std::wstring& from, const std::wstring& to, DWORD flags) {
    return MoveFileExW(from.c_str(), to.c_str(), flags) ? NO_ERROR : GetLastError();
}

}  // namespace travok
