// Linux-side file faults for tests, made with commands run through RunUnix.
#include "UnixFaults.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "Driver.h"
#include "TempFiles.h"

namespace travok::test {

std::string UnixPath(const std::string& windowsPath) {
    // Wine's own export; it answers in a buffer of the process heap.
    using ToUnix = char*(CDECL*)(LPCWSTR);
    auto toUnix = reinterpret_cast<ToUnix>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    std::wstring wide(windowsPath.size() + 1, L'\0');
    int n = MultiByteToWideChar(CP_ACP, 0, windowsPath.c_str(), -1, wide.data(), static_cast<int>(wide.size()));
    char* unixPath = toUnix && n > 0 ? toUnix(wide.c_str()) : nullptr;
    if (!unixPath) {
        ADD_FAILURE() << "no Unix path for " << windowsPath;
        return {};
    }
    std::string path = unixPath;
    HeapFree(GetProcessHeap(), 0, unixPath);
    if (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

void UnixCondition::Make(const std::string& command, std::string undo) {
    std::string output;
    int code = RunUnix(command, &output);
    // A command that ran and failed is no test failure (the caller skips); not being
    // able to run commands at all is.
    if (code == -1) ADD_FAILURE() << "cannot run Linux commands from the test";
    m_ok = code == 0;
    if (m_ok) m_undo = std::move(undo);
    else m_error = "`" + command + "` exited with " + std::to_string(code) + ": " + output;
}

UnixCondition::~UnixCondition() {
    if (m_ok && RunUnix(m_undo) != 0) ADD_FAILURE() << "cannot undo: " << m_undo;
}

ImmutableFile::ImmutableFile(const std::string& path) {
    const std::string unixPath = UnixPath(path);
    // Left immutable, the file could not be removed with its folder, not even by root.
    Make("chattr +i '" + unixPath + "'", "chattr -i '" + unixPath + "'");
}

SmallDisk::SmallDisk(const std::string& folder, const std::string& size) {
    if (!CreateDirectoryA(folder.c_str(), nullptr)) {
        ADD_FAILURE() << "cannot create " << folder;
        Fail("cannot create " + folder);
        return;
    }
    const std::string unixPath = UnixPath(folder);
    // A lazy unmount still succeeds if a handle was left open by mistake.
    Make("mount -t tmpfs -o size=" + size + " tmpfs '" + unixPath + "'",
         "umount '" + unixPath + "' || umount -l '" + unixPath + "'");
}

FullDisk::FullDisk(const std::string& folder, Kind kind) {
    if (!CreateDirectoryA(folder.c_str(), nullptr)) {
        ADD_FAILURE() << "cannot create " << folder;
        Fail("cannot create " + folder);
        return;
    }
    const std::string unixPath = UnixPath(folder);
    // tmpfs counts its root folder as one inode: with one in all, none is left. Filling
    // the blocks ends in ENOSPC, which is the point.
    std::string command = "mount -t tmpfs -o size=64k" + std::string(kind == NoInodeLeft ? ",nr_inodes=1" : "") +
                          " tmpfs '" + unixPath + "'";
    if (kind == NoBlockLeft)
        command += " && { head -c 1M /dev/zero >'" + unixPath + "/filler' 2>/dev/null || true; }";
    Make(command, "umount '" + unixPath + "' || umount -l '" + unixPath + "'");
}

EioMount::EioMount(const std::string& folder) {
    const std::string eiofs = ExeDir() + "eiofs";
    if (!FileExists(eiofs)) {
        Fail(eiofs + " was not built: the build found no C compiler for Linux (cc)");
        return;
    }
    if (!CreateDirectoryA(folder.c_str(), nullptr)) {
        ADD_FAILURE() << "cannot create " << folder;
        Fail("cannot create " + folder);
        return;
    }
    const std::string unixPath = UnixPath(folder);
    // eiofs serves from the background and ends when its mount goes; lazily, in case a
    // handle on it was left open by mistake.
    Make(std::string("'").append(UnixPath(eiofs)).append("' '").append(unixPath).append("'"),
         "umount -l '" + unixPath + "'");
}

char EioFsByte(size_t i) { return static_cast<char>('a' + (7 * i + i / 97) % 26); }

std::string EioFsBytes(size_t n) {
    std::string bytes(n, '\0');
    for (size_t i = 0; i < n; ++i) bytes[i] = EioFsByte(i);
    return bytes;
}

}  // namespace travok::test
