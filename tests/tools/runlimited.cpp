// runlimited: runs a command line as Windows runs a program that an administrator starts
// under UAC, with the limited token linked to the caller's elevated one: Administrators
// for deny only, TokenElevationTypeLimited, not elevated.
//   runlimited COMMAND_LINE   starts COMMAND_LINE (one argument) with that token, waits
//                             for it and exits with its exit code.
// Prints "FAILED <step> <Win32 error>" and exits 255 when it cannot.
#include <windows.h>

#include <cstdio>
#include <cwchar>

namespace {

int Fail(const char* step) {
    printf("FAILED %s %lu\n", step, GetLastError());
    return 255;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: runlimited COMMAND_LINE\n");
        return 255;
    }
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return Fail("OpenProcessToken");
    TOKEN_LINKED_TOKEN linked{};
    DWORD size = 0;
    if (!GetTokenInformation(token, TokenLinkedToken, &linked, sizeof linked, &size))
        return Fail("TokenLinkedToken");
    CloseHandle(token);
    TOKEN_ELEVATION_TYPE type{};
    if (!GetTokenInformation(linked.LinkedToken, TokenElevationType, &type, sizeof type, &size) ||
        type != TokenElevationTypeLimited) {
        printf("FAILED the linked token is not the limited one (%d)\n", static_cast<int>(type));
        return 255;
    }
    // CreateProcessAsUserW may write into the command line.
    static wchar_t commandLine[32768];
    wcsncpy(commandLine, argv[1], 32767);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessAsUserW(linked.LinkedToken, nullptr, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                              &startup, &process))
        return Fail("CreateProcessAsUserW");
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD exitCode = 255;
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    CloseHandle(linked.LinkedToken);
    return static_cast<int>(exitCode);
}
