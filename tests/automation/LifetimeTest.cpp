// How long a Travok.exe lives with automation clients: single use, the end of a
// client-started instance with its last object, the About box keeping it open, and a
// user-started instance that clients never use or end.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

#include "ComClient.h"
#include "Driver.h"
#include "res/resource.h"

using namespace travok::test;

namespace {

class Lifetime : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(EnsureRegistered());
        before = TravokProcesses();
    }

    // The one Travok.exe that appeared since SetUp (or since `since`).
    std::unique_ptr<ServerProcess> NewServer(const std::set<DWORD>& since) {
        std::set<DWORD> started = WaitNewServers(since, 1);
        if (started.size() != 1) {
            ADD_FAILURE() << started.size() << " new Travok processes instead of one";
            return nullptr;
        }
        return std::make_unique<ServerProcess>(*started.begin());
    }

    std::set<DWORD> before;
};

// The About box of a server, found once it shows.
HWND WaitAboutBox(const ServerProcess& server) {
    HWND box = nullptr;
    WaitFor([&] { return (box = server.FindPopup("About Travok")) != nullptr; });
    return box;
}

void ClickOk(HWND dialog) { PostMessageA(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0); }

TEST_F(Lifetime, EveryObjectGetsAnInstanceOfItsOwnThatEndsWithIt) {
    ComPtr<IDispatch> first, second;
    ASSERT_EQ(CoCreateInstance(CLSID_TravokApplication, nullptr, CLSCTX_LOCAL_SERVER, IID_IDispatch, first.PutVoid()), S_OK);
    std::unique_ptr<ServerProcess> firstServer = NewServer(before);
    ASSERT_TRUE(firstServer);
    const std::set<DWORD> withFirst = TravokProcesses();
    ASSERT_EQ(CoCreateInstance(CLSID_TravokApplication, nullptr, CLSCTX_LOCAL_SERVER, IID_IDispatch, second.PutVoid()), S_OK);
    std::unique_ptr<ServerProcess> secondServer = NewServer(withFirst);
    ASSERT_TRUE(secondServer);

    // Each instance shows its own main window, and each object answers.
    EXPECT_TRUE(firstServer->Sheet());
    EXPECT_TRUE(secondServer->Sheet());
    EXPECT_EQ(Code(first.Get(), 1, L"abc", L"1"), L"bcd");
    EXPECT_EQ(Code(second.Get(), 2, L"bcd", L"1"), L"abc");

    first.Reset();
    EXPECT_TRUE(firstServer->WaitExit());
    EXPECT_TRUE(secondServer->Running());
    EXPECT_EQ(Code(second.Get(), 1, L"x", L"2"), L"z");
    second.Reset();
    EXPECT_TRUE(secondServer->WaitExit());
}

struct Outer final : IUnknown {
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override {
        *out = this;
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
};

TEST_F(Lifetime, AggregationIsRefused) {
    Outer outer;
    ComPtr<IUnknown> object;
    EXPECT_EQ(CoCreateInstance(CLSID_TravokApplication, &outer, CLSCTX_LOCAL_SERVER, IID_IUnknown, object.PutVoid()),
              CLASS_E_NOAGGREGATION);
    EXPECT_FALSE(object);
    // Wine's class factory proxy refuses it before the server sees it, so the instance
    // started for the request gets no object and stays; ServerProcess closes it.
    std::unique_ptr<ServerProcess> server = NewServer(before);
}

TEST_F(Lifetime, AnInstanceWhoseObjectWasRefusedAnInterfaceEnds) {
    // The object is made before the interface check, and its going ends the instance.
    ServerWatch watch;
    ComPtr<IUnknown> object;
    EXPECT_EQ(CoCreateInstance(CLSID_TravokApplication, nullptr, CLSCTX_LOCAL_SERVER, IID_IPersist, object.PutVoid()),
              E_NOINTERFACE);
    EXPECT_FALSE(object);
    std::vector<std::unique_ptr<ServerProcess>> started = watch.Stop();
    ASSERT_EQ(started.size(), 1u);
    EXPECT_TRUE(started[0]->WaitExit());
}

TEST_F(Lifetime, AboutReturnsOnlyOnceTheUserClosesTheBox) {
    ComPtr<IDispatch> object;
    ASSERT_EQ(CoCreateInstance(CLSID_TravokApplication, nullptr, CLSCTX_LOCAL_SERVER, IID_IDispatch, object.PutVoid()), S_OK);
    std::unique_ptr<ServerProcess> server = NewServer(before);
    ASSERT_TRUE(server);

    std::atomic<bool> returned{false};
    HRESULT aboutResult = E_FAIL;
    std::thread caller([&] {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        InvokeOutcome outcome;
        Invoke(object.Get(), {3, DISPATCH_METHOD, {}}, outcome);
        aboutResult = outcome.hr;
        returned = true;
        CoUninitialize();
    });

    HWND box = WaitAboutBox(*server);
    EXPECT_TRUE(box) << "the About box did not show";
    if (box) {
        // Modal over the server's main window, which keeps serving calls meanwhile.
        EXPECT_EQ(GetWindow(box, GW_OWNER), server->Sheet());
        EXPECT_FALSE(IsWindowEnabled(server->Sheet()));
        EXPECT_EQ(Code(object.Get(), 1, L"abc", L"1"), L"bcd");
        EXPECT_FALSE(returned) << "About returned while its box was open";
        ClickOk(box);
    }
    if (!WaitFor([&] { return returned.load(); })) {
        ADD_FAILURE() << "About did not return after its box was closed";
        object.Reset();
        server.reset();  // ends the server, which ends the call
    }
    caller.join();
    EXPECT_EQ(aboutResult, S_OK);
    EXPECT_FALSE(IsWindow(box));

    object.Reset();
    if (server) {
        EXPECT_TRUE(server->WaitExit());
    }
}

TEST_F(Lifetime, AnInstanceLeftOpenByAModalBoxIsNeverClosedByObjectsAgain) {
    // Holding the class object itself is the one way to make several objects in one
    // instance.
    ComPtr<IClassFactory> factory;
    ASSERT_EQ(CoGetClassObject(CLSID_TravokApplication, CLSCTX_LOCAL_SERVER, nullptr, IID_IClassFactory, factory.PutVoid()),
              S_OK);
    std::unique_ptr<ServerProcess> server = NewServer(before);
    ASSERT_TRUE(server);
    ComPtr<IDispatch> object;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IDispatch, object.PutVoid()), S_OK);

    // The user opens the About box from the page; then the last object goes.
    HWND sheet = server->Sheet();
    ASSERT_TRUE(sheet);
    auto page = reinterpret_cast<HWND>(SendMessageA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
    PostMessageA(GetDlgItem(page, IDC_ABOUT), BM_CLICK, 0, 0);
    HWND box = WaitAboutBox(*server);
    ASSERT_TRUE(box);
    object.Reset();  // returns once the server has handled the release
    EXPECT_TRUE(IsWindow(sheet));
    EXPECT_TRUE(server->Running());

    ClickOk(box);
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(box) && IsWindowEnabled(sheet); }));
    // Now under the user's control: another object comes and goes, the window stays.
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IDispatch, object.PutVoid()), S_OK);
    EXPECT_EQ(TravokProcesses().size(), before.size() + 1);
    EXPECT_EQ(Code(object.Get(), 2, L"bcd", L"1"), L"abc");
    object.Reset();
    EXPECT_TRUE(IsWindow(sheet));
    EXPECT_TRUE(server->Running());
    factory.Reset();
    EXPECT_TRUE(server->Running());
    // ServerProcess closes it through its main window.
}

TEST_F(Lifetime, AUserStartedInstanceIsNeitherUsedNorEndedByClients) {
    TravokProcess user;
    ASSERT_TRUE(user.Sheet());
    const std::set<DWORD> running = TravokProcesses();
    ComPtr<IDispatch> object;
    ASSERT_EQ(CoCreateInstance(CLSID_TravokApplication, nullptr, CLSCTX_LOCAL_SERVER, IID_IDispatch, object.PutVoid()), S_OK);
    std::unique_ptr<ServerProcess> server = NewServer(running);
    ASSERT_TRUE(server);
    EXPECT_NE(server->Pid(), user.Pid());
    EXPECT_EQ(Code(object.Get(), 1, L"abc", L"1"), L"bcd");
    object.Reset();
    EXPECT_TRUE(server->WaitExit());
    EXPECT_TRUE(IsWindow(user.Sheet()));
    EXPECT_FALSE(user.WaitExit(0));
}

TEST_F(Lifetime, ClosingTheMainWindowEndsTheInstanceWhileAClientHoldsAnObject) {
    ComPtr<IDispatch> object;
    ASSERT_EQ(CoCreateInstance(CLSID_TravokApplication, nullptr, CLSCTX_LOCAL_SERVER, IID_IDispatch, object.PutVoid()), S_OK);
    std::unique_ptr<ServerProcess> server = NewServer(before);
    ASSERT_TRUE(server);
    ASSERT_TRUE(server->Sheet());
    PostMessageA(server->Sheet(), WM_COMMAND, IDCANCEL, 0);
    EXPECT_TRUE(server->WaitExit());
    InvokeOutcome outcome;
    Invoke(object.Get(), {1, DISPATCH_METHOD, {Variant(L"abc"), Variant(L"1")}}, outcome);
    EXPECT_TRUE(FAILED(outcome.hr));
}

}  // namespace
