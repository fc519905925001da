// Linux-side file faults for tests, made with commands run through RunUnix.
#include "UnixFaults.h"

#include <windows.h>

#include <gtest/gtest.h>

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

namespace {

// Runs a command that only root may run. A command that ran and failed is no test
// failure (the caller skips); not being able to run commands at all is.
bool RunRootCommand(const std::string& command, std::string& error) {
    std::string output;
    int code = RunUnix(command, &output);
    if (code == -1) ADD_FAILURE() << "cannot run Linux commands from the test";
    if (code == 0) return true;
    error = "`" + command + "` exited with " + std::to_string(code) + ": " + output;
    return false;
}

}  // namespace

ImmutableFile::ImmutableFile(const std::string& path) : m_unixPath(UnixPath(path)) {
    m_ok = RunRootCommand("chattr +i '" + m_unixPath + "'", m_error);
}

ImmutableFile::~ImmutableFile() {
    // Left immutable, the file could not be removed with its folder, not even by root.
    if (m_ok && RunUnix("chattr -i '" + m_unixPath + "'") != 0) ADD_FAILURE() << "cannot undo chattr +i " << m_unixPath;
}

SmallDisk::SmallDisk(const std::string& folder, const std::string& size) {
    if (!CreateDirectoryA(folder.c_str(), nullptr)) {
        ADD_FAILURE() << "cannot create " << folder;
        return;
    }
    m_unixPath = UnixPath(folder);
    m_ok = RunRootCommand("mount -t tmpfs -o size=" + size + " tmpfs '" + m_unixPath + "'", m_error);
}

SmallDisk::~SmallDisk() {
    // A lazy unmount still succeeds if a handle was left open by mistake.
    if (m_ok && RunUnix("umount '" + m_unixPath + "' || umount -l '" + m_unixPath + "'") != 0)
        ADD_FAILURE() << "cannot unmount " << m_unixPath;
}

}  // namespace travok::test
