// A client-started instance answers automation calls while its window runs a long file
// run, and still ends when its object is released afterwards. The run is held half-way
// by eiofs's gated file until the test lets it go.
#include <gtest/gtest.h>

#include "ComClient.h"
#include "Driver.h"
#include "TempFiles.h"
#include "UnixFaults.h"
#include "res/resource.h"

#include <commctrl.h>  // after windows.h, for PSM_GETCURRENTPAGEHWND

using namespace travok::test;

namespace {

using DuringRun = ClientStartedServer;

TEST_F(DuringRun, CallsAreAnsweredWhileTheProgressDialogRuns) {
    TempDir dir;
    EioMount mount(dir.File("fs"));
    if (!mount.Ok()) GTEST_SKIP() << "eiofs cannot be mounted: " << mount.Error();
    HWND sheet = server->Sheet();
    ASSERT_TRUE(sheet);
    DWORD_PTR page = 0;
    SendMessageTimeoutA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0, SMTO_NORMAL, 10000, &page);
    auto item = [&](int id) { return GetDlgItem(reinterpret_cast<HWND>(page), id); };
    SetText(item(IDC_KEY), "5");
    SetText(item(IDC_INPUT_PATH), dir.File("fs\\gate.bin"));
    SetText(item(IDC_OUTPUT_PATH), dir.File("out.bin"));
    DWORD_PTR result = 0;
    SendMessageTimeoutA(item(IDC_FROM_FILE), BM_CLICK, 0, 0, SMTO_NORMAL, 10000, &result);
    SendMessageTimeoutA(item(IDC_TO_FILE), BM_CLICK, 0, 0, SMTO_NORMAL, 10000, &result);
    PostMessageA(item(IDC_ACTION), BM_CLICK, 0, 0);

    HWND dialog = nullptr;
    EXPECT_TRUE(WaitFor([&] { return (dialog = ProgressDialogOf(server->Pid())) != nullptr; })) << "no progress dialog";
    // The run waits at the gate meanwhile: every call is answered during it.
    for (int i = 0; i < 20; ++i) EXPECT_EQ(Code(object.Get(), 1, L"abc", L"12"), L"bdd");
    EXPECT_TRUE(dialog && IsWindow(dialog)) << "the run ended before the calls";

    WriteBytes(dir.File("fs.open"), "");
    EXPECT_TRUE(WaitFor([&] { return !IsWindow(dialog); }, 30000)) << "the run did not end";
    EXPECT_EQ(ReadBytes(dir.File("out.bin")).size(), 32u << 20);
    // Releasing the object now ends the instance (TearDown), its window enabled again.
}

}  // namespace
