// The output of a run, which never destroys an existing file: the result is written into
// a new temporary file beside it and takes its place only once it is whole.
#pragma once

#include <string>

#include "FileReplacer.h"
#include "HeldRetry.h"
#include "framework/File.h"

namespace travok {

class OutputFile {
public:
    // Opens the output named path (as the user typed it). An existing file must be
    // writable now: access denied, a sharing violation or a device is raised here, as
    // CFileException naming path, before anything is coded; a brief hold is waited out
    // first. A regular file, existing or
    // not, gets a temporary file in its folder; a pipe is written directly.
    explicit OutputFile(const std::wstring& path) : OutputFile(path, SystemFileReplacer::Instance()) {}
    // The same, putting the result in place through replacer and timing waits by clock,
    // which must outlive it.
    OutputFile(const std::wstring& path, FileReplacer& replacer, RetryClock& clock = SystemRetryClock());
    // Without Commit, the temporary file is removed and the output left as it was.
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Where the result goes. A failed write names the output's full path, never the
    // temporary file.
    CFile& File() { return m_file; }

    // Closes the result and puts it in the output's place: an existing file is replaced
    // keeping its attributes and security, a new one is created; a brief hold on the
    // output is waited out. A failure is raised as CFileException naming path. The
    // output's name then holds the old bytes or the new ones, whole; where neither could
    // take it, the files that hold them are kept and named in m_strResultKept and
    // m_strOriginalKept.
    void Commit();
    // Gives the result up now, as the destructor does: the temporary file goes, and the
    // output stays as it was.
    void Discard();

private:
    // Gives up the result and raises error, naming the output as typed.
    [[noreturn]] void Fail(LONG error);
    // Replaces an existing output, its old bytes moved aside to a backup until the new
    // ones are in place.
    void ReplaceExisting();
    // Moves from (a full "\\?\" path) into the output's empty name; the error.
    DWORD MoveIntoEmptyName(const std::wstring& from);
    // Keeps the result under its temporary name, and raises error naming it, and the
    // old output's backup if there is one.
    [[noreturn]] void KeepAndFail(DWORD error, const std::wstring& original);

    FileReplacer& m_replacer;
    RetryClock& m_clock;
    unsigned m_seed = 0;       // where the search for a free name starts
    std::wstring m_path;       // as typed
    std::wstring m_target;     // full path
    std::wstring m_temporary;  // full path, beside m_target
    bool m_replaces = false;   // the output existed
    CFile m_file;
};

// Creates a new file in folder (a full path ending in '\\') under the first free name
// "~travok-<8 hex digits>.tmp", counting from number, and opens it into file for
// writing, exclusively. Returns its full path. A name that is taken is passed over;
// any other failure is raised as the open raised it.
std::wstring CreateFreeTemporary(CFile& file, const std::wstring& folder, unsigned number);

}  // namespace travok
