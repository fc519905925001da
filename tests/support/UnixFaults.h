// File faults that only Linux can make, for tests: a file even root cannot write, and
// a disk that fills up. Each holds while its object lives; both need root.
#pragma once

#include <string>

namespace travok::test {

// The path of a Windows file name in the Unix file system, for commands run with RunUnix.
std::string UnixPath(const std::string& windowsPath);

// A file made immutable (chattr +i) while this object lives: even root cannot open it
// for writing, while Wine lets root write into a read-only file. Needs root and ext4.
class ImmutableFile {
public:
    explicit ImmutableFile(const std::string& path);
    ~ImmutableFile();
    ImmutableFile(const ImmutableFile&) = delete;
    ImmutableFile& operator=(const ImmutableFile&) = delete;
    bool Ok() const { return m_ok; }
    const std::string& Error() const { return m_error; }  // why it failed

private:
    std::string m_unixPath;
    bool m_ok = false;
    std::string m_error;
};

// A small tmpfs (64 KiB unless told) mounted on a new folder while this object lives,
// to fill a disk. Needs root.
class SmallDisk {
public:
    explicit SmallDisk(const std::string& folder, const std::string& size = "64k");
    ~SmallDisk();
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;
    bool Ok() const { return m_ok; }
    const std::string& Error() const { return m_error; }  // why it failed

private:
    std::string m_unixPath;
    bool m_ok = false;
    std::string m_error;
};

}  // namespace travok::test
