// The page and the automation server code the same text to the same bytes: both convert
// wide text to the code page the same way, a character it lacks becoming '?', which the
// page tells its user.
#include <gtest/gtest.h>

#include <iterator>
#include <vector>

#include "ComClient.h"
#include "Driver.h"
#include "Samples.h"
#include "res/resource.h"

using namespace travok::test;

namespace {

using PageAgreement = ClientStartedServer;

TEST_F(PageAgreement, PageAndCodeWithKeyGiveTheSameResult) {
    std::vector<WideSample> cases = {
        {"ASCII", L"Hello"},
        {"code page 1252 letters", L"caf\u00e9 \u20ac"},
        {"Greek capital omega, which best fit would make 'O'", L"\u03a9mega"},
    };
    cases.insert(cases.end(), std::begin(kOutsideTheCodePage), std::end(kOutsideTheCodePage));
    const std::wstring key = L"2";
    TravokProcess page;
    SetText(page.Item(IDC_KEY), "2");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SetTextW(page.Item(IDC_INPUT), c.text);
        const bool fits = ToWide(ToAnsi(c.text)) == c.text;
        const std::vector<SeenBox> boxes = page.ClickAndCollect(page.Item(IDC_ACTION));
        if (fits) {
            EXPECT_TRUE(boxes.empty());
        } else {
            ASSERT_EQ(boxes.size(), 1u) << "the page tells that the code page lacks a character";
            EXPECT_EQ(boxes[0].text,
                      "The text holds characters that the Windows code page lacks, and each of them was coded as "
                      "'?'. Code it from a file to keep every byte.");
        }
        const std::wstring fromPage = GetTextW(page.Item(IDC_RESULT));
        EXPECT_EQ(fromPage, Code(object.Get(), 1, c.text, key));
        EXPECT_NE(fromPage, c.text);
    }
}

}  // namespace
