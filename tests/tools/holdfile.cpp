// holdfile: holds a file open with no sharing, so a test can meet a file that another
// process of the same Wine prefix has locked.
//   holdfile PATH   opens PATH (read and write, creating it when missing), prints HELD,
//                   then keeps it until a line arrives on stdin, stdin ends, or 120 s pass.
// Prints "FAILED <Win32 error>" and exits 1 when the file cannot be opened.
#include <windows.h>

#include <cstdio>

namespace {

DWORD WINAPI WaitForLine(LPVOID) {
    char line[64];
    fgets(line, sizeof line, stdin);  // returns at a line or at the end of stdin
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: holdfile PATH\n");
        return 2;
    }
    // Share mode 0: every other open of the file, in any process of this wineserver,
    // fails with a sharing violation while we hold it.
    HANDLE file = CreateFileA(argv[1], GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        printf("FAILED %lu\n", GetLastError());
        fflush(stdout);
        return 1;
    }
    printf("HELD\n");
    fflush(stdout);

    // Pipes cannot be waited on with a timeout, so a thread does the reading.
    HANDLE reader = CreateThread(nullptr, 0, WaitForLine, nullptr, 0, nullptr);
    if (reader) {
        WaitForSingleObject(reader, 120000);
        CloseHandle(reader);
    }
    CloseHandle(file);
    return 0;
}
