// The coding run driven through the real page of the real Travok.exe.
#include <gtest/gtest.h>

#include "Driver.h"
#include "TempFiles.h"
#include "res/resource.h"

using namespace travok::test;

namespace {

class CodingRun : public testing::Test {
protected:
    TravokProcess app;

    HWND Item(int id) const { return app.Item(id); }
    void Type(int id, const std::string& text) const { SetText(Item(id), text); }
    std::string Text(int id) const { return GetText(Item(id)); }
    void Choose(int radio) const { app.ClickNow(Item(radio)); }
    std::vector<SeenBox> Action() const { return app.ClickAndCollect(Item(IDC_ACTION)); }
};

TEST_F(CodingRun, TextToTextCodesAndDecodesBack) {
    Type(IDC_INPUT, "Hello, World!\r\nLine two");
    Type(IDC_KEY, "123");
    EXPECT_TRUE(Action().empty());
    EXPECT_EQ(Text(IDC_RESULT), "Igomq/!Yrsng\"\x0f\rMkqf\"wxq");

    Type(IDC_INPUT, Text(IDC_RESULT));
    Choose(IDC_DECODE);
    EXPECT_TRUE(Action().empty());
    EXPECT_EQ(Text(IDC_RESULT), "Hello, World!\r\nLine two");
}

TEST_F(CodingRun, EmptyTextAndEmptyKeyGiveBothMessagesInOrder) {
    std::vector<SeenBox> boxes = Action();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].caption, "Error Travok");
    EXPECT_EQ(boxes[0].text, "There has to be an input text!");
    EXPECT_EQ(boxes[0].icon, IDI_HAND);
    EXPECT_EQ(boxes[1].caption, "Error Travok");
    EXPECT_EQ(boxes[1].text, "There has to be a key number!");
    EXPECT_EQ(boxes[1].icon, IDI_HAND);
    EXPECT_EQ(app.Focus(), Item(IDC_KEY));
}

}  // namespace
