// The tests' box finder: what it takes for a box a test may read and press, and what it
// must leave alone, on windows made here on a thread of their own.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <atomic>
#include <ostream>
#include <string>
#include <thread>

#include "Driver.h"

using namespace travok::test;

namespace {

enum class Kind {
    MessageBox,      // a real MessageBox
    ProgressDialog,  // caption, text and Cancel, and a progress bar
    NoButton,        // caption and text, nothing to press
    ClosesWhileRead  // a dialog that goes while its text is read
};

struct BoxCase {
    Kind kind;
    bool isBox;
};

WNDPROC g_staticProc = nullptr;

// A Static whose dialog, once the text has been read, goes, as a dialog that ends does.
LRESULT CALLBACK ClosingStatic(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    const LRESULT result = CallWindowProcA(g_staticProc, hwnd, message, wParam, lParam);
    if (message == WM_GETTEXT) ShowWindow(GetParent(hwnd), SW_HIDE);
    return result;
}

void MakeDialog(Kind kind) {
    HWND dialog = CreateWindowExA(0, "#32770", "Some Caption", WS_POPUP | WS_CAPTION | WS_VISIBLE, 10, 10, 300, 150,
                                  nullptr, nullptr, nullptr, nullptr);
    HWND text = CreateWindowExA(0, "Static", "some text", WS_CHILD | WS_VISIBLE, 5, 5, 200, 20, dialog, nullptr,
                                nullptr, nullptr);
    if (kind != Kind::NoButton)
        CreateWindowExA(0, "Button", "Cancel", WS_CHILD | WS_VISIBLE, 5, 60, 80, 24, dialog,
                        reinterpret_cast<HMENU>(IDCANCEL), nullptr, nullptr);
    if (kind == Kind::ProgressDialog)
        CreateWindowExA(0, PROGRESS_CLASSA, "", WS_CHILD | WS_VISIBLE, 5, 30, 200, 20, dialog, nullptr, nullptr,
                        nullptr);
    if (kind == Kind::ClosesWhileRead)
        g_staticProc = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrA(text, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ClosingStatic)));
}

const char* Name(Kind kind) {
    switch (kind) {
    case Kind::MessageBox: return "MessageBox";
    case Kind::ProgressDialog: return "ProgressDialog";
    case Kind::NoButton: return "NoButton";
    case Kind::ClosesWhileRead: return "ClosesWhileRead";
    }
    return "?";
}

void PrintTo(const BoxCase& c, std::ostream* os) { *os << Name(c.kind); }

class BoxFinder : public testing::TestWithParam<BoxCase> {};

TEST_P(BoxFinder, TakesOnlyABoxStillShown) {
    const BoxCase c = GetParam();
    InitCommonControls();
    std::atomic<DWORD> ownerThread{0};
    // The windows live on a thread that serves their messages, as another program's do;
    // they go when it ends.
    std::thread owner([&] {
        ownerThread = GetCurrentThreadId();
        if (c.kind == Kind::MessageBox) {
            MessageBoxA(nullptr, "some text", "Some Caption", MB_OK);
            return;
        }
        MakeDialog(c.kind);
        MSG msg;
        while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
    });
    HWND dialog = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (dialog = FindWindowA("#32770", "Some Caption")) && IsWindowVisible(dialog); },
                        60000));

    const std::optional<SeenBox> box = ReadBox(dialog);
    EXPECT_EQ(box.has_value(), c.isBox);
    if (box) {
        EXPECT_EQ(box->caption, "Some Caption");
        EXPECT_EQ(box->text, "some text");
    }

    if (c.kind == Kind::MessageBox)
        PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    else
        PostThreadMessageA(ownerThread, WM_QUIT, 0, 0);
    owner.join();
}

INSTANTIATE_TEST_SUITE_P(Windows, BoxFinder,
                         testing::Values(BoxCase{Kind::MessageBox, true}, BoxCase{Kind::ProgressDialog, false},
                                         BoxCase{Kind::NoButton, false}, BoxCase{Kind::ClosesWhileRead, false}),
                         [](const auto& row) { return std::string(Name(row.param.kind)); });

}  // namespace
