// The two calls that put a finished result in its output's place, behind one small
// interface so that tests can make them answer as Windows can and Wine never does.
#pragma once

#include <string>

#include "framework/Win.h"

namespace travok {

// Each call answers NO_ERROR or the error the system gave. Paths are full, and may
// carry the "\\?\" prefix.
class FileReplacer {
public:
    virtual ~FileReplacer() = default;
    // ReplaceFileW ignoring merge errors: replacement takes target's name, attributes and
    // security, and target is moved to backup. Windows documents what each failure leaves
    // behind: ERROR_UNABLE_TO_REMOVE_REPLACED, nothing changed; ERROR_UNABLE_TO_MOVE_REPLACEMENT,
    // both keep their names (without a backup name, target is gone); _2, target is under
    // the backup name and replacement under its own.
    virtual DWORD Replace(const std::wstring& target, const std::wstring& replacement,
                          const std::wstring& backup) = 0;
    // MoveFileExW(from, to, flags).
    virtual DWORD Move(const std::wstring& from, const std::wstring& to, DWORD flags) = 0;
};

// The system's own calls.
class SystemFileReplacer final : public FileReplacer {
public:
    // The one every output uses unless it is given another. It holds nothing, so one
    // serves all threads.
    static SystemFileReplacer& Instance();

    DWORD Replace(const std::wstring& target, const std::wstring& replacement, const std::wstring& backup) override;
    DWORD Move(const std::wstring& from, const std::wstring& to, DWORD flags) override;
};

}  // namespace travok
