// postcommand: posts a system command to a dialog window of another process, so a script
// can open what the window's system menu opens without a mouse.
//   postcommand [--command] CAPTION WPARAM [XWINDOW]
// finds the top-level dialog (class "#32770") captioned CAPTION (a CAPTION ending in "*":
// any caption that begins with the rest, as a wizard's that changes by page) and posts it
// WM_SYSCOMMAND with WPARAM (decimal or 0x hex); with --command, WM_COMMAND, as a click
// on the dialog's button of that id does (a dialog ignores it while the button is
// disabled). With XWINDOW (an X window id, as
// xwininfo prints it) only the dialog that Wine shows in that X window qualifies, so
// another program's window of the same caption in the same prefix is left alone.
// Prints "POSTED" and exits 0, or prints why and exits 1.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

struct Search {
    const char* caption;
    ULONG_PTR xwindow;  // 0: any
    HWND found;
};

BOOL CALLBACK Visit(HWND hwnd, LPARAM lParam) {
    auto* search = reinterpret_cast<Search*>(lParam);
    char text[256] = {};
    char cls[64] = {};
    GetWindowTextA(hwnd, text, sizeof text);
    GetClassNameA(hwnd, cls, sizeof cls);
    size_t length = strlen(search->caption);
    bool prefix = length > 0 && search->caption[length - 1] == '*';
    bool matches = prefix ? strncmp(text, search->caption, length - 1) == 0 : lstrcmpA(text, search->caption) == 0;
    if (!matches || lstrcmpA(cls, "#32770") != 0) return TRUE;
    // Wine's X11 driver keeps the X window of each top-level window in this property.
    if (search->xwindow &&
        reinterpret_cast<ULONG_PTR>(GetPropA(hwnd, "__wine_x11_whole_window")) != search->xwindow)
        return TRUE;
    search->found = hwnd;
    return FALSE;
}

}  // namespace

int main(int argc, char** argv) {
    UINT message = WM_SYSCOMMAND;
    if (argc > 1 && lstrcmpA(argv[1], "--command") == 0) {
        message = WM_COMMAND;
        --argc;
        ++argv;
    }
    if (argc != 3 && argc != 4) {
        fprintf(stderr, "usage: postcommand [--command] CAPTION WPARAM [XWINDOW]\n");
        return 2;
    }
    Search search{argv[1], argc == 4 ? strtoul(argv[3], nullptr, 0) : 0, nullptr};
    EnumWindows(Visit, reinterpret_cast<LPARAM>(&search));
    if (!search.found) {
        printf("NOT FOUND\n");
        return 1;
    }
    WPARAM command = strtoul(argv[2], nullptr, 0);
    if (!PostMessageA(search.found, message, command, 0)) {
        printf("FAILED %lu\n", GetLastError());
        return 1;
    }
    printf("POSTED\n");
    return 0;
}
