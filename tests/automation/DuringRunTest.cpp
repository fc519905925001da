// A client-started instance answers automation calls while its window runs a long file
// run, and still ends when its object is released afterwards. The run is held half-way
// by eiofs's gated file until the test lets it go.
#include <gtest/gtest.h>

#include "ComClient.h"
#include "Driver.h"
#include "TempFiles.h"
#include "UnixFaults.h"
#include "res/resource.h"

#include <atomic>
#include <optional>
#include <thread>

#include <commctrl.h>  // after windows.h, for PSM_GETCURRENTPAGEHWND

using namespace travok::test;

namespace {

// Starts a File-to-File run of the server's window from a gated file of eiofs, which
// holds it half-way until the test writes "fs.open"; the output is out.bin.
class DuringRun : public ClientStartedServer {
protected:
    // The run's progress dialog, or nullptr with a failure. Skips when eiofs cannot mount.
    HWND StartGatedRun() {
        mount.emplace(dir.File("fs"));
        if (!mount->Ok()) return nullptr;
        HWND sheet = server->Sheet();
        if (!sheet) return nullptr;
        DWORD_PTR page = 0;
        SendMessageTimeoutA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0, SMTO_NORMAL, kSafetyNetMs, &page);
        auto item = [&](int id) { return GetDlgItem(reinterpret_cast<HWND>(page), id); };
        SetText(item(IDC_KEY), "5");
        SetText(item(IDC_INPUT_PATH), dir.File("fs\\gate.bin"));
        SetText(item(IDC_OUTPUT_PATH), Output());
        DWORD_PTR result = 0;
        SendMessageTimeoutA(item(IDC_FROM_FILE), BM_CLICK, 0, 0, SMTO_NORMAL, kSafetyNetMs, &result);
        SendMessageTimeoutA(item(IDC_TO_FILE), BM_CLICK, 0, 0, SMTO_NORMAL, kSafetyNetMs, &result);
        PostMessageA(item(IDC_ACTION), BM_CLICK, 0, 0);
        HWND dialog = nullptr;
        EXPECT_TRUE(WaitFor([&] { return (dialog = ProgressDialogOf(server->Pid())) != nullptr; }))
            << "no progress dialog";
        return dialog;
    }
    void OpenGate() { WriteBytes(dir.File("fs.open"), ""); }
    std::string Output() const { return dir.File("out.bin"); }

    TempDir dir;
    std::optional<EioMount> mount;
};

TEST_F(DuringRun, CallsAreAnsweredWhileTheProgressDialogRuns) {
    HWND dialog = StartGatedRun();
    if (mount && !mount->Ok()) GTEST_SKIP() << "eiofs cannot be mounted: " << mount->Error();
    // The run waits at the gate meanwhile: every call is answered during it.
    for (int i = 0; i < 20; ++i) EXPECT_EQ(Code(object.Get(), 1, L"abc", L"12"), L"bdd");
    EXPECT_TRUE(dialog && IsWindow(dialog)) << "the run ended before the calls";

    OpenGate();
    EXPECT_TRUE(WaitFor([&] { return !IsWindow(dialog); })) << "the run did not end";
    EXPECT_EQ(ReadBytes(Output()).size(), 32u << 20);
    // Releasing the object now ends the instance (TearDown), its window enabled again.
}

// A client's About box shows above the progress dialog. The run may end while it is
// open: the window stays disabled, so that no second run starts, until the box closes.
TEST_F(DuringRun, AnAboutBoxOpenedDuringTheRunKeepsTheWindowDisabledUntilItCloses) {
    HWND dialog = StartGatedRun();
    if (mount && !mount->Ok()) GTEST_SKIP() << "eiofs cannot be mounted: " << mount->Error();
    ASSERT_TRUE(dialog);
    std::atomic<bool> returned{false};
    std::thread caller([&] {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        InvokeOutcome outcome;
        Invoke(object.Get(), {3, DISPATCH_METHOD, {}}, outcome);
        EXPECT_EQ(outcome.hr, S_OK);
        returned = true;
        CoUninitialize();
    });
    HWND box = nullptr;
    EXPECT_TRUE(WaitFor([&] { return (box = server->FindPopup("About Travok")) != nullptr; })) << "no About box";

    OpenGate();
    EXPECT_TRUE(WaitFor([&] { return FileExists(Output()); })) << "the run did not end";
    // The dialog looks at the run every 50 ms: several looks go by with the box open.
    Sleep(500);
    EXPECT_FALSE(IsWindowEnabled(server->Sheet())) << "the window took clicks with the About box open";
    EXPECT_TRUE(box && IsWindow(box));

    if (box) PostMessageA(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
    EXPECT_TRUE(WaitFor([&] { return returned.load(); })) << "About did not return";
    EXPECT_TRUE(WaitFor([&] { return !IsWindow(dialog) && IsWindowEnabled(server->Sheet()); }));
    EXPECT_EQ(ReadBytes(Output()).size(), 32u << 20);
    if (!returned) object.Reset();
    caller.join();
}

// Windows asks before it ends the session during a run, and is held up with the run's
// text; if it ends the session all the same, the run stops and leaves no temporary file,
// before the process goes.
TEST_F(DuringRun, TheEndOfTheSessionIsHeldUpThenStopsTheRunCleanly) {
    HWND dialog = StartGatedRun();
    if (mount && !mount->Ok()) GTEST_SKIP() << "eiofs cannot be mounted: " << mount->Error();
    ASSERT_TRUE(dialog);
    DWORD_PTR answer = 1;
    ASSERT_TRUE(SendMessageTimeoutA(dialog, WM_QUERYENDSESSION, 0, 0, SMTO_NORMAL, kSafetyNetMs, &answer));
    EXPECT_EQ(answer, 0u) << "the session may end in the middle of a run";
    // The reason Windows shows ("Coding gate.bin") cannot be read back here: Wine's
    // ShutdownBlockReasonQuery never returns for another process's window.
    std::atomic<bool> ended{false};
    std::thread session([&] {
        DWORD_PTR ignored = 0;
        SendMessageTimeoutA(dialog, WM_ENDSESSION, TRUE, 0, SMTO_NORMAL, kSafetyNetMs, &ignored);
        ended = true;
    });
    Sleep(200);
    EXPECT_FALSE(ended) << "the run cannot have stopped at the gate";
    OpenGate();  // the blocked read returns, and the run sees the stop
    session.join();
    // Once WM_ENDSESSION has been answered, nothing of the run is left.
    EXPECT_EQ(FileNames(dir.PathW()), (std::vector<std::wstring>{L"fs", L"fs.open"}));
}

}  // namespace
