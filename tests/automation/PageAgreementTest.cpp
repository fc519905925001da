// The page and the automation server code the same text to the same bytes: both convert
// wide text to the code page the same way, a character it lacks becoming '?'.
#include <gtest/gtest.h>

#include "ComClient.h"
#include "Driver.h"
#include "res/resource.h"

using namespace travok::test;

namespace {

using PageAgreement = ClientStartedServer;

TEST_F(PageAgreement, PageAndCodeWithKeyGiveTheSameResult) {
    const struct {
        const char* what;
        std::wstring text;
    } cases[] = {
        {"ASCII", L"Hello"},
        {"code page 1252 letters", L"caf\u00e9 \u20ac"},
        {"Greek capital omega, which best fit would make 'O'", L"\u03a9mega"},
        {"Latin letters outside 1252", L"\u0141\u00f3d\u017a"},
        {"Cyrillic and CJK", L"\u041a\u0438\u0457\u0432 \u6f22\u5b57"},
        {"an emoji, a surrogate pair", L"smile \U0001F600"},
        {"combining marks", L"e\u0301a\u0308"},
    };
    const std::wstring key = L"2";
    TravokProcess page;
    SetText(page.Item(IDC_KEY), "2");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SetTextW(page.Item(IDC_INPUT), c.text);
        EXPECT_TRUE(page.ClickAndCollect(page.Item(IDC_ACTION)).empty());
        const std::wstring fromPage = GetTextW(page.Item(IDC_RESULT));
        EXPECT_EQ(fromPage, Code(object.Get(), 1, c.text, key));
        EXPECT_NE(fromPage, c.text);
    }
}

}  // namespace
