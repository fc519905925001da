// Writing text to the console or to redirected standard handles.
#include "Console.h"

namespace travok::console {

bool IsConsole(HANDLE handle) {
    DWORD mode = 0;
    return handle && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode);
}

void WriteLine(DWORD stdHandle, std::wstring_view text) {
    // Windows programs end lines with CR LF, in files and pipes too.
    std::wstring line;
    for (wchar_t c : text) {
        if (c == L'\n') line += L'\r';
        line += c;
    }
    line += L"\r\n";
    HANDLE handle = GetStdHandle(stdHandle);
    DWORD written = 0;
    if (IsConsole(handle)) {
        WriteConsoleW(handle, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
        return;
    }
    const int length = static_cast<int>(line.size());
    const int n = WideCharToMultiByte(CP_UTF8, 0, line.data(), length, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, line.data(), length, utf8.data(), n, nullptr, nullptr);
    for (size_t done = 0; done < utf8.size(); done += written) {
        if (!WriteFile(handle, utf8.data() + done, static_cast<DWORD>(utf8.size() - done), &written, nullptr) ||
            written == 0)
            return;
    }
}

}  // namespace travok::console
