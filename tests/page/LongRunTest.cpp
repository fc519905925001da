// Long File-to-File runs through the real page: the progress dialog, Cancel, and outputs
// that are replaced only when whole. A run is made long without timing: eiofs's gate.bin
// holds every read past its first 8 MiB until the test opens the gate.
#include <atomic>
#include <cstdio>
#include <thread>

#include "PageTest.h"
#include "engine/FileRun.h"

#include <commctrl.h>  // after windows.h, which PageTest.h brings

using namespace travok::test;

namespace {

constexpr size_t kMiB = 1 << 20;
constexpr size_t kGateSize = 32 * kMiB;
// A run held at the gate has written every block that ends before it.
constexpr size_t kHeldBytes = 8 * kMiB / travok::kRunBlock * travok::kRunBlock;

// How the progress dialog writes a count of bytes: MiB with one decimal.
std::string InMiB(size_t bytes) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", static_cast<double>(bytes) / kMiB);
    return text;
}

class LongRun : public PageTest {
protected:
    const std::string key = "9182736450";
    std::unique_ptr<EioMount> mount;

    void SetUp() override {
        mount = std::make_unique<EioMount>(dir.File("fs"));
        if (!mount->Ok()) GTEST_SKIP() << "eiofs cannot be mounted: " << mount->Error();
        Type(IDC_KEY, key);
        SetMode(Mode::FileToFile);
    }
    void TearDown() override {
        OpenGate();  // a failed test must not leave a reader waiting
        mount.reset();
    }

    void OpenGate() const { WriteBytes(dir.File("fs.open"), ""); }

    // The progress dialog, once shown; nullptr, with a test failure, if none comes.
    HWND WaitProgress() const {
        HWND found = nullptr;
        WaitFor([&] { return (found = ProgressDialogOf(app.Pid())) != nullptr; });
        if (!found) ADD_FAILURE() << "no progress dialog";
        return found;
    }
    static int BarPosition(HWND dialog) {
        DWORD_PTR position = 0;
        SendMessageTimeoutA(GetDlgItem(dialog, IDC_PROGRESS_BAR), PBM_GETPOS, 0, 0, SMTO_NORMAL, kSafetyNetMs, &position);
        return static_cast<int>(position);
    }

    // Starts a run of gate.bin into output and waits until it is held at the gate with
    // every block before the gate written: the dialog is up, its bar that far along and
    // its figures saying so. The run stands still there, so the dialog's looks after
    // that show the same; on a busy machine the bar was once seen there before the
    // figures were.
    HWND StartHeldRun(const std::string& output) const {
        Type(IDC_INPUT_PATH, dir.File("fs\\gate.bin"));
        Type(IDC_OUTPUT_PATH, output);
        app.Click(Item(IDC_ACTION));
        HWND dialog = WaitProgress();
        if (dialog) {
            const int held = static_cast<int>(kHeldBytes * 1000 / kGateSize);
            EXPECT_TRUE(WaitFor([&] {
                return BarPosition(dialog) >= held &&
                       GetText(GetDlgItem(dialog, IDC_PROGRESS_BYTES)).rfind(InMiB(kHeldBytes), 0) == 0;
            })) << BarPosition(dialog) << ", " << GetText(GetDlgItem(dialog, IDC_PROGRESS_BYTES));
        }
        return dialog;
    }

    std::string Coded(const std::string& bytes) const { return Shifted(bytes, key, false, kChunk); }
};

TEST_F(LongRun, ShowsItsProgressAndWritesTheOutputOnlyWhenWhole) {
    for (bool existed : {false, true}) {
        SCOPED_TRACE(existed ? "over an existing output" : "a new output");
        const std::string output = dir.File("out.bin");
        if (existed) WriteBytes(output, "the old content");
        HWND dialog = StartHeldRun(output);
        ASSERT_TRUE(dialog);
        EXPECT_EQ(GetText(GetDlgItem(dialog, IDC_PROGRESS_FILE)), "Coding gate.bin");
        EXPECT_EQ(GetText(GetDlgItem(dialog, IDC_PROGRESS_BYTES)).substr(0, 3), InMiB(kHeldBytes));
        EXPECT_NE(GetText(GetDlgItem(dialog, IDC_PROGRESS_BYTES)).find("of 32.0 MB"), std::string::npos);
        EXPECT_NE(GetText(GetDlgItem(dialog, IDC_PROGRESS_SPEED)), "");
        EXPECT_EQ(GetWindow(dialog, GW_OWNER), app.Sheet());
        EXPECT_FALSE(IsWindowEnabled(app.Sheet())) << "the progress dialog is not modal";
        // Half-way, the output is as it was: the run writes beside it.
        if (existed) {
            EXPECT_EQ(ReadBytes(output), "the old content");
        } else {
            EXPECT_FALSE(FileExists(output));
        }

        OpenGate();
        EXPECT_TRUE(WaitFor([&] { return !IsWindow(dialog); })) << "the dialog did not close at the end";
        app.Sync();
        EXPECT_FALSE(app.FindBox().has_value());
        EXPECT_TRUE(ReadBytes(output) == Coded(EioFsBytes(kGateSize))) << "the output differs from the definition";
        EXPECT_EQ(Files(), (std::vector<std::string>{"fs", "fs.open", "out.bin"})) << "a temporary file was left";
        DeleteFileA(dir.File("fs.open").c_str());
    }
}

// Cancel stops the run: no message, the input untouched, an output that was there byte
// for byte as before, and one that was not, still not there.
TEST_F(LongRun, CancelLeavesEveryFileAsItWas) {
    for (bool existed : {false, true}) {
        SCOPED_TRACE(existed ? "over an existing output" : "a new output");
        const std::string output = dir.File("out.bin");
        if (existed) WriteBytes(output, "the old content");
        HWND dialog = StartHeldRun(output);
        ASSERT_TRUE(dialog);
        PostMessageA(GetDlgItem(dialog, IDCANCEL), BM_CLICK, 0, 0);
        // The reader waits at the gate: opening it lets the run see the Cancel.
        EXPECT_TRUE(WaitFor([&] { return !IsWindowEnabled(GetDlgItem(dialog, IDCANCEL)); }));
        OpenGate();
        EXPECT_TRUE(WaitFor([&] { return !IsWindow(dialog); })) << "the dialog did not close after Cancel";
        app.Sync();
        EXPECT_FALSE(app.FindBox().has_value()) << "a message after Cancel";
        if (existed) {
            EXPECT_EQ(ReadBytes(output), "the old content");
            EXPECT_EQ(Files(), (std::vector<std::string>{"fs", "fs.open", "out.bin"}));
        } else {
            EXPECT_EQ(Files(), (std::vector<std::string>{"fs", "fs.open"}));
        }
        DeleteFileA(output.c_str());
        DeleteFileA(dir.File("fs.open").c_str());
    }
    // The page goes on: the next run codes the whole file.
    OpenGate();
    Type(IDC_INPUT_PATH, dir.File("fs\\gate.bin"));
    EXPECT_TRUE(NoMessage(Action()));
    EXPECT_TRUE(ReadBytes(dir.File("out.bin")) == Coded(EioFsBytes(kGateSize)));
}

// Esc and the close box cancel as the button does. An OK command (Enter with no button
// to press) has nothing to confirm: the dialog stays until the run has ended.
TEST_F(LongRun, EscAndTheCloseBoxCancelTooButOkDoesNotClose) {
    const std::string output = dir.File("out.bin");
    struct Case {
        const char* what;
        bool toButton;  // the message goes to the Cancel button, as a key press does
        UINT message;
        WPARAM wParam;
    } cases[] = {
        {"Esc", true, WM_KEYDOWN, VK_ESCAPE},
        {"the close box", false, WM_SYSCOMMAND, SC_CLOSE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WriteBytes(output, "the old content");
        HWND dialog = StartHeldRun(output);
        ASSERT_TRUE(dialog);
        SendMessageTimeoutA(dialog, WM_COMMAND, IDOK, 0, SMTO_NORMAL, kSafetyNetMs, nullptr);
        app.Sync();
        EXPECT_TRUE(IsWindow(dialog)) << "OK closed the dialog while the run went on";
        EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, IDCANCEL))) << "OK cancelled the run";

        PostMessageA(c.toButton ? GetDlgItem(dialog, IDCANCEL) : dialog, c.message, c.wParam, 0);
        EXPECT_TRUE(WaitFor([&] { return !IsWindowEnabled(GetDlgItem(dialog, IDCANCEL)); })) << "no cancel";
        OpenGate();
        EXPECT_TRUE(WaitFor([&] { return !IsWindow(dialog); })) << "the dialog did not close after the cancel";
        app.Sync();
        EXPECT_FALSE(app.FindBox().has_value()) << "a message after a cancel";
        EXPECT_EQ(ReadBytes(output), "the old content");
        EXPECT_EQ(Files(), (std::vector<std::string>{"fs", "fs.open", "out.bin"}));
        DeleteFileA(dir.File("fs.open").c_str());
    }
}

// A read that fails half-way is reported as a failed read, and the output is as it was.
TEST_F(LongRun, AReadErrorHalfWayLeavesTheOutputAsItWas) {
    WriteBytes(dir.File("out.bin"), "the old content");
    Type(IDC_INPUT_PATH, dir.File("fs\\breaks.bin"));
    Type(IDC_OUTPUT_PATH, dir.File("out.bin"));
    EXPECT_TRUE(OneReport(Action(), "", kUnknownError));
    EXPECT_EQ(ReadBytes(dir.File("out.bin")), "the old content");
    EXPECT_EQ(Files(), (std::vector<std::string>{"fs", "out.bin"}));
}

// A run of a few megabytes on a disk ends well within half a second: it looks as it
// always did, with no dialog flashing up.
TEST_F(LongRun, AShortRunShowsNoDialog) {
    WriteBytes(dir.File("in.bin"), PatternBytes(8 * kMiB, "0123456789abcdef", 7));
    Type(IDC_INPUT_PATH, dir.File("in.bin"));
    Type(IDC_OUTPUT_PATH, dir.File("out.bin"));
    std::atomic<bool> done{false}, seen{false};
    std::thread watcher([&] {
        while (!done) {
            if (ProgressDialogOf(app.Pid())) seen = true;
            Sleep(2);
        }
    });
    EXPECT_TRUE(NoMessage(Action()));
    done = true;
    watcher.join();
    EXPECT_FALSE(seen) << "a progress dialog showed for a short run";
    EXPECT_EQ(ReadBytes(dir.File("out.bin")).size(), 8 * kMiB);
}

}  // namespace
