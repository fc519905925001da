// File faults that only Linux can make, for tests: a file even root cannot write, a
// disk that fills up, and files that fail in the middle. Each holds while its object
// lives; all need root.
#pragma once

#include <string>

namespace travok::test {

// The path of a Windows file name in the Unix file system, for commands run with RunUnix.
std::string UnixPath(const std::string& windowsPath);

// A Linux-side condition made by one command and undone by another when the object
// goes. Ok() says whether it holds; Error() says why not.
class UnixCondition {
public:
    UnixCondition(const UnixCondition&) = delete;
    UnixCondition& operator=(const UnixCondition&) = delete;
    bool Ok() const { return m_ok; }
    const std::string& Error() const { return m_error; }

protected:
    UnixCondition() = default;
    ~UnixCondition();
    // Runs command (root-only commands fail softly: the test then skips) and, when it
    // worked, remembers undo for the end.
    void Make(const std::string& command, std::string undo);
    void Fail(std::string error) { m_error = std::move(error); }

private:
    std::string m_undo;
    bool m_ok = false;
    std::string m_error;
};

// A file made immutable (chattr +i): even root cannot open it for writing, while Wine
// lets root write into a read-only file. Needs root and ext4.
class ImmutableFile : public UnixCondition {
public:
    explicit ImmutableFile(const std::string& path);
};

// A small tmpfs (64 KiB unless told) mounted on a new folder, to fill a disk. Needs root.
class SmallDisk : public UnixCondition {
public:
    explicit SmallDisk(const std::string& folder, const std::string& size = "64k");
};

// A tmpfs mounted on a new folder that is full before anything is written to it.
// Needs root.
class FullDisk : public UnixCondition {
public:
    enum Kind {
        NoInodeLeft,  // no file can be created in it: the open fails
        NoBlockLeft,  // files can be created, empty: the first write fails
    };
    FullDisk(const std::string& folder, Kind kind);
};

// eiofs (tests/tools/eiofs.c) mounted on a new folder. Its files: "broken.bin" (20000
// bytes, every read and write fails with EIO), "denied.bin" (every open fails with
// EACCES), "grows.bin" (says 5000 bytes, reads give 30000) and "shrinks.bin" (says
// 30000, reads give 12000); byte i of what they give is EioFsByte(i). Needs root, /dev/fuse and eiofs,
// which is only built when the build machine has a C compiler for Linux.
class EioMount : public UnixCondition {
public:
    explicit EioMount(const std::string& folder);
};
char EioFsByte(size_t i);
// The first n bytes that eiofs's readable files give.
std::string EioFsBytes(size_t n);

}  // namespace travok::test
