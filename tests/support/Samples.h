// Texts outside the active code page that names and texts are tried with, each a kind
// of character that a narrow conversion would lose or change.
#pragma once

#include <string>

namespace travok::test {

struct WideSample {
    const char* what;
    std::wstring text;
};

inline const WideSample kOutsideTheCodePage[] = {
    {"Latin letters outside 1252", L"\u0141\u00f3d\u017a"},  // Łódź
    {"Cyrillic", L"\u041a\u0438\u0457\u0432"},               // Київ
    {"Greek", L"\u0395\u03bb\u03bb\u03ac\u03b4\u03b1"},      // Ελλάδα
    {"CJK", L"\u6f22\u5b57"},                                // 漢字
    {"an emoji, a surrogate pair", L"\U0001F600"},           // 😀
    {"combining marks", L"e\u0301a\u0308"},                  // é and ä, decomposed
};

}  // namespace travok::test
