// A program's copy whose manifest resource asks for the UTF-8 code page.
#include "Utf8Program.h"

#include <windows.h>

namespace travok::test {

namespace {

BOOL CALLBACK FirstLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR into) {
    *reinterpret_cast<WORD*>(into) = language;
    return FALSE;
}

}  // namespace

std::wstring CopyWithUtf8CodePage(const std::wstring& program, const std::wstring& copy) {
    if (!CopyFileW(program.c_str(), copy.c_str(), FALSE)) return {};
    std::string manifest;
    WORD language = 0;
    if (HMODULE image = LoadLibraryExW(copy.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE)) {
        EnumResourceLanguagesW(image, MAKEINTRESOURCEW(24), MAKEINTRESOURCEW(1), FirstLanguage,
                               reinterpret_cast<LONG_PTR>(&language));
        if (HRSRC found = FindResourceExW(image, MAKEINTRESOURCEW(24), MAKEINTRESOURCEW(1), language))
            if (HGLOBAL data = LoadResource(image, found))
                manifest.assign(static_cast<const char*>(LockResource(data)), SizeofResource(image, found));
        FreeLibrary(image);
    }
    const size_t at = manifest.find("</windowsSettings>");
    if (at == std::string::npos) return {};
    manifest.insert(at, "<activeCodePage xmlns=\"http://schemas.microsoft.com/SMI/2019/WindowsSettings\">UTF-8"
                        "</activeCodePage>\n    ");
    HANDLE update = BeginUpdateResourceW(copy.c_str(), FALSE);
    if (!update) return {};
    const BOOL replaced = UpdateResourceW(update, MAKEINTRESOURCEW(24), MAKEINTRESOURCEW(1), language,
                                          manifest.data(), static_cast<DWORD>(manifest.size()));
    return EndUpdateResourceW(update, !replaced) && replaced ? copy : std::wstring();
}

}  // namespace travok::test
