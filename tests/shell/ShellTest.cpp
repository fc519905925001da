// The real Travok.exe as a user meets it: the sheet, its buttons, the About box, and
// how the program ends.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include "Driver.h"
#include "res/resource.h"

using namespace travok::test;

namespace {

constexpr int kApplyButton = 0x3021;

// The label of a tab of another process's tab control: the item has to be read
// through memory of that process.
std::string TabText(HANDLE process, HWND tab, int index) {
    struct Remote {
        TCITEMA item;
        char text[256];
    };
    auto* remote = static_cast<Remote*>(
        VirtualAllocEx(process, nullptr, sizeof(Remote), MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    Remote local{};
    local.item.mask = TCIF_TEXT;
    local.item.pszText = remote->text;
    local.item.cchTextMax = sizeof local.text;
    WriteProcessMemory(process, remote, &local, sizeof local, nullptr);
    DWORD_PTR ok = 0;
    SendMessageTimeoutA(tab, TCM_GETITEMA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(remote), SMTO_NORMAL, kSafetyNetMs, &ok);
    ReadProcessMemory(process, remote, &local, sizeof local, nullptr);
    VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    return ok ? std::string(local.text) : std::string();
}

class Shell : public testing::Test {
protected:
    TravokProcess app;

    HWND SheetButton(int id) const { return GetDlgItem(app.Sheet(), id); }

    // Waits for the About box, checks what it shows, and returns it.
    SeenBox ExpectAboutBox() const {
        SeenBox about = app.WaitBox();
        EXPECT_EQ(about.caption, "About Travok");
        EXPECT_EQ(about.text.rfind("Travok Version 1.0\nAuthor: ", 0), 0u) << about.text;
        EXPECT_NE(about.text.find("\nSeptembre 2000\nE-mail: "), std::string::npos) << about.text;
        EXPECT_FALSE(IsWindowEnabled(app.Sheet())) << "the About box is modal over the sheet";
        return about;
    }

    void ExpectClosedAndNothingChanged(const SeenBox& about) const {
        EXPECT_TRUE(WaitFor([&] { return !IsWindow(about.hwnd); })) << "the About box did not close";
        EXPECT_TRUE(WaitFor([&] { return IsWindowEnabled(app.Sheet()) != FALSE; }));
        EXPECT_TRUE(app.Popups().empty());
        EXPECT_EQ(GetText(app.Item(IDC_INPUT)), "unchanged");
    }
};

TEST_F(Shell, SheetShowsOneTabAndTheFourStandardButtons) {
    EXPECT_EQ(GetText(app.Sheet()), "Travok");
    HWND tab = reinterpret_cast<HWND>(SendMessageA(app.Sheet(), PSM_GETTABCONTROL, 0, 0));
    ASSERT_NE(tab, nullptr);
    EXPECT_EQ(SendMessageA(tab, TCM_GETITEMCOUNT, 0, 0), 1);
    EXPECT_EQ(TabText(app.Handle(), tab, 0), "Increment Key Coding");

    struct Button {
        int id;
        bool enabled;
    };
    for (Button b : {Button{IDOK, true}, Button{IDCANCEL, true}, Button{kApplyButton, false}, Button{IDHELP, true}}) {
        HWND button = SheetButton(b.id);
        ASSERT_NE(button, nullptr) << "button " << b.id;
        EXPECT_TRUE(IsWindowVisible(button)) << "button " << b.id;
        EXPECT_EQ(IsWindowEnabled(button) != FALSE, b.enabled) << "button " << b.id;
    }
}

// The Action! button shows the program's icon beside its text, which only the common
// controls of version 6 draw. They are bound by the manifest, which must name the
// build's own architecture: one naming x86 in a 64-bit program binds the old controls.
TEST_F(Shell, TheActionButtonShowsTheProgramIcon) {
    DWORD_PTR image = 0;
    ASSERT_TRUE(SendMessageTimeoutA(app.Item(IDC_ACTION), BM_GETIMAGE, IMAGE_ICON, 0, SMTO_NORMAL, kSafetyNetMs, &image));
    EXPECT_NE(image, 0u);
}

TEST_F(Shell, AboutBoxOpensFromTheSystemMenuCommandAndClosesWithOk) {
    SetText(app.Item(IDC_INPUT), "unchanged");
    // The low four bits of a system command belong to the platform and are ignored.
    for (WPARAM command : {WPARAM{IDM_ABOUTBOX}, WPARAM{IDM_ABOUTBOX | 0x3}}) {
        PostMessageA(app.Sheet(), WM_SYSCOMMAND, command, 0);
        SeenBox about = ExpectAboutBox();
        app.CloseBox(about);
        ExpectClosedAndNothingChanged(about);
    }
}

TEST_F(Shell, AboutBoxOpensFromThePageAndClosesWithEsc) {
    SetText(app.Item(IDC_INPUT), "unchanged");
    app.Click(app.Item(IDC_ABOUT));
    SeenBox about = ExpectAboutBox();
    // Esc reaches the box through its own dialog loop, as a key press would.
    PostMessageA(GetDlgItem(about.hwnd, IDOK), WM_KEYDOWN, VK_ESCAPE, 0);
    ExpectClosedAndNothingChanged(about);
}

// Without its help page beside it, Help says which page is missing and where it
// belongs, and the program goes on. The build's page is moved aside for the while.
TEST(HelpPage, MissingPageIsToldAndTheProgramGoesOn) {
    const std::string page = ExeDir() + "Travok.html";
    const std::string aside = page + ".aside";
    ASSERT_TRUE(MoveFileExA(page.c_str(), aside.c_str(), MOVEFILE_REPLACE_EXISTING))
        << "the build puts Travok.html beside Travok.exe; error " << GetLastError();
    struct PutBack {
        const std::string &from, &to;
        ~PutBack() { MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING); }
    } putBack{aside, page};

    TravokProcess app;
    SetText(app.Item(IDC_INPUT), "unchanged");
    const std::vector<SeenBox> boxes = app.ClickAndCollect(GetDlgItem(app.Sheet(), IDHELP));
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "Error Travok");
    EXPECT_EQ(boxes[0].text, "The help page '" + page +
                                 "' is missing. It comes with Travok, beside Travok.exe: install Travok again, "
                                 "or unpack the whole portable zip.");
    EXPECT_EQ(boxes[0].icon, IDI_EXCLAMATION);
    EXPECT_FALSE(app.WaitExit(0));
    EXPECT_TRUE(IsWindowEnabled(app.Sheet()));
    EXPECT_EQ(GetText(app.Item(IDC_INPUT)), "unchanged");
}

// The page's own Help button has no action of its own.
TEST_F(Shell, PageHelpButtonDoesNothing) {
    app.ClickNow(app.Item(IDC_HELP_BUTTON));
    app.Sync();
    EXPECT_TRUE(app.Popups().empty());
    EXPECT_FALSE(app.WaitExit(0));
    EXPECT_TRUE(IsWindowEnabled(app.Sheet()));
}

TEST_F(Shell, OtherSystemCommandsStillWork) {
    PostMessageA(app.Sheet(), WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_TRUE(app.WaitExit()) << "the close command did not end the program";
}

class Ending : public testing::TestWithParam<int> {};

TEST_P(Ending, EachButtonEndsTheProgram) {
    TravokProcess app;
    app.Click(GetDlgItem(app.Sheet(), GetParam()));
    EXPECT_TRUE(app.WaitExit());
}

INSTANTIATE_TEST_SUITE_P(OkAndCancel, Ending, testing::Values(IDOK, IDCANCEL));

}  // namespace

namespace {

// Enter in a single-line box runs Action! as the page's default button, keeps the
// program open, and leaves the focus in the box, where the user goes on typing.
TEST(EnterKey, InTheKeyOrAPathBoxRunsActionAndKeepsTheFocusThere) {
    TravokProcess app;
    SetText(app.Item(IDC_INPUT), "abc");
    SetText(app.Item(IDC_KEY), "1");
    for (int box : {IDC_KEY, IDC_INPUT_PATH, IDC_OUTPUT_PATH}) {
        SCOPED_TRACE(box);
        SetText(app.Item(IDC_RESULT), "");
        DWORD_PTR result = 0;
        SendMessageTimeoutA(app.Page(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(app.Item(box)), TRUE, SMTO_NORMAL,
                            kSafetyNetMs, &result);
        // A key press reaches the program's own loop, as one typed would.
        PostMessageA(app.Item(box), WM_KEYDOWN, VK_RETURN, 0x001C0001);
        EXPECT_TRUE(WaitFor([&] { return GetText(app.Item(IDC_RESULT)) == "bcd"; }));
        app.Sync();
        EXPECT_EQ(app.Focus(), app.Item(box));
    }
    EXPECT_FALSE(app.WaitExit(200)) << "Enter in a box closed the program";
}

TEST(EnterKey, InTheInputTextStartsANewLine) {
    TravokProcess app;
    SetText(app.Item(IDC_INPUT), "abc");
    PostMessageA(app.Item(IDC_INPUT), WM_KEYDOWN, VK_RETURN, 0x001C0001);
    PostMessageA(app.Item(IDC_INPUT), WM_CHAR, '\r', 0x001C0001);
    EXPECT_TRUE(WaitFor([&] { return GetText(app.Item(IDC_INPUT)).find("\r\n") != std::string::npos; }));
    EXPECT_EQ(GetText(app.Item(IDC_RESULT)), "");
    EXPECT_FALSE(app.WaitExit(200));
}

}  // namespace
