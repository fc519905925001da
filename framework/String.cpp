// String table access and code page conversions.
#include "String.h"

#include <new>

std::wstring LoadResStringW(UINT id) {
    // LoadStringW with a zero count hands out a pointer to the resource itself, so
    // strings of any length load whole.
    const wchar_t* text = nullptr;
    int n = LoadStringW(GetModuleHandleW(nullptr), id, reinterpret_cast<LPWSTR>(&text), 0);
    if (n <= 0 || !text) return {};
    return {text, static_cast<size_t>(n)};
}

std::string LoadResString(UINT id) { return WideToAnsi(LoadResStringW(id)); }

std::wstring LoadResStringW(UINT id, std::initializer_list<std::wstring> values) {
    std::wstring text = LoadResStringW(id);
    int number = 0;
    for (const std::wstring& value : values) {
        const std::wstring mark = L"%" + std::to_wstring(++number);
        const size_t at = text.find(mark);
        if (at != std::wstring::npos) text.replace(at, mark.size(), value);
    }
    return text;
}

std::wstring AnsiToWide(std::string_view text, UINT codePage) {
    if (text.empty()) return {};
    const int length = static_cast<int>(text.size());
    int n = MultiByteToWideChar(codePage, 0, text.data(), length, nullptr, 0);
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), length, wide.data(), n);
    return wide;
}

DWORD WideToAnsiFlags(UINT codePage) {
    if (codePage == CP_ACP) codePage = GetACP();
    // The code pages WideCharToMultiByte takes no flags for: every one fails the call,
    // which would make every text read as empty.
    const bool takesNoFlags = codePage == 42 || codePage == 52936 || codePage == 54936 ||
                              (codePage >= 50220 && codePage <= 50229) ||
                              (codePage >= 57002 && codePage <= 57011) || codePage == CP_UTF7 ||
                              codePage == CP_UTF8;
    return takesNoFlags ? 0 : WC_NO_BEST_FIT_CHARS;
}

std::string WideToAnsi(std::wstring_view text, UINT codePage, bool* lost) {
    if (lost) *lost = false;
    if (text.empty()) return {};
    // A character the code page lacks becomes its default character ('?'), not a
    // look-alike: by default some are mapped by best fit (Greek capital omega to 'O').
    // UTF-8 lacks none, so it loses nothing without the flag.
    const DWORD flags = WideToAnsiFlags(codePage);
    const int length = static_cast<int>(text.size());
    int n = WideCharToMultiByte(codePage, flags, text.data(), length, nullptr, 0, nullptr, nullptr);
    std::string ansi(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(codePage, flags, text.data(), length, ansi.data(), n, nullptr, nullptr);
    // Told by the way back, not by WideCharToMultiByte's used-default flag, which UTF-8
    // refuses: with no best fit, a text comes back whole exactly when nothing was lost.
    if (lost) *lost = AnsiToWide(ansi, codePage) != text;
    return ansi;
}

CBstr::CBstr(std::string_view ansi) {
    std::wstring wide = AnsiToWide(ansi);
    m_str = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
    if (!m_str) throw std::bad_alloc();
}
