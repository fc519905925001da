// The automation object, its class factory and the live-object count in this process:
// what a client out of process cannot see, because the marshalling layer answers first
// (a property get without a result place, aggregation) or because it needs the
// allocator to fail.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "ComClient.h"
#include "framework/OleFactory.h"
#include "framework/WinApp.h"
#include "shell/AutoProxy.h"

using namespace travok::test;

// Allocations of at least g_failFrom bytes fail while a test arms it.
static std::atomic<size_t> g_failFrom{SIZE_MAX};

void* operator new(size_t size) {
    if (size >= g_failFrom) throw std::bad_alloc();
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }

namespace {

class OleEnvironment : public testing::Environment {
public:
    void SetUp() override { ASSERT_EQ(OleInitialize(nullptr), S_OK); }
    void TearDown() override { OleUninitialize(); }
};

const auto* const kOle = testing::AddGlobalTestEnvironment(new OleEnvironment);

// An application object of our own, so that the live-object count and the lifetime
// rule have their state; main window a plain window of this thread.
class TestApp : public CWinApp {
public:
    TestApp() { m_appName = "TestApp"; }
    ~TestApp() override {
        if (m_window.m_hWnd && IsWindow(m_window.m_hWnd)) DestroyWindow(m_window.m_hWnd);
        DrainQuit();
    }

    void MakeMainWindow(bool enabled) {
        m_window.m_hWnd = CreateWindowA("STATIC", "main", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
        EnableWindow(m_window.m_hWnd, enabled);
        m_pMainWnd = &m_window;
    }
    HWND Window() const { return m_window.m_hWnd; }

    // Whether a WM_QUIT waits in this thread's queue (taken out of it).
    static bool DrainQuit() {
        MSG msg;
        bool quit = false;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) quit = quit || msg.message == WM_QUIT;
        return quit;
    }

private:
    CWnd m_window;
};

// IDispatchEx, which script engines ask for first; MinGW's uuid library lacks it.
const IID kIDispatchEx = {0xA6EF9860, 0xC720, 0x11D0, {0x93, 0x37, 0x00, 0xA0, 0xC9, 0x0D, 0xCA, 0xA9}};

IDispatch* NewProxy() {
    CCmdTarget* target = CTravokDlgAutoProxy::classCTravokDlgAutoProxy.CreateObject();
    IDispatch* dispatch = target->GetIDispatch(false);  // takes over the creator's reference
    EXPECT_TRUE(dispatch);
    return dispatch;
}

TEST(InProcess, ObjectOffersExactlyItsThreeInterfaces) {
    ComPtr<IDispatch> object;
    *object.Put() = NewProxy();
    struct Case {
        const char* what;
        const IID* iid;
        HRESULT hr;
    };
    const Case cases[] = {
        {"IUnknown", &IID_IUnknown, S_OK},
        {"IDispatch", &IID_IDispatch, S_OK},
        {"the dispatch interface", &DIID_ITravok, S_OK},
        {"IDispatchEx", &kIDispatchEx, E_NOINTERFACE},
        {"IPersist", &IID_IPersist, E_NOINTERFACE},
        {"IClassFactory", &IID_IClassFactory, E_NOINTERFACE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        void* out = reinterpret_cast<void*>(0x1);
        EXPECT_EQ(object->QueryInterface(*c.iid, &out), c.hr);
        // One identity: every interface is the same pointer.
        EXPECT_EQ(out, c.hr == S_OK ? static_cast<void*>(object.Get()) : nullptr);
        if (out) static_cast<IUnknown*>(out)->Release();
    }
}

TEST(InProcess, CallsFailWithoutTouchingWhatTheyDoNotReport) {
    ComPtr<IDispatch> object;
    *object.Put() = NewProxy();
    struct Case {
        const char* what;
        InvokeRequest request;
        HRESULT hr;
    };
    const Case cases[] = {
        {"CodeWithKey read as a property without a result place",
         {1, DISPATCH_PROPERTYGET, {Variant(L"abc"), Variant(L"1")}, {}, false}, DISP_E_PARAMNOTOPTIONAL},
        {"DeCodeWithKey read as a property without a result place",
         {2, DISPATCH_PROPERTYGET, {Variant(L"abc"), Variant(L"1")}, {}, false}, DISP_E_PARAMNOTOPTIONAL},
        {"About read as a property without a result place", {3, DISPATCH_PROPERTYGET, {}, {}, false},
         DISP_E_BADPARAMCOUNT},
        {"a named argument", {1, DISPATCH_METHOD, {Variant(L"abc"), Variant(L"1")}, {0}}, DISP_E_NONAMEDARGS},
        {"too many arguments", {1, DISPATCH_METHOD, {Variant(L"a"), Variant(L"1"), Variant(L"2")}},
         DISP_E_BADPARAMCOUNT},
        {"an unknown DISPID", {7, DISPATCH_METHOD, {}}, DISP_E_MEMBERNOTFOUND},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        InvokeOutcome outcome;
        V_VT(&outcome.result.v) = VT_I4;
        V_I4(&outcome.result.v) = 0x5EED;
        outcome.excepInfo.scode = 0x1234;
        Invoke(object.Get(), c.request, outcome);
        EXPECT_EQ(outcome.hr, c.hr);
        EXPECT_EQ(V_VT(&outcome.result.v), VT_I4);
        EXPECT_EQ(V_I4(&outcome.result.v), 0x5EED);
        EXPECT_EQ(outcome.excepInfo.scode, 0x1234);
        EXPECT_EQ(outcome.argErr, InvokeOutcome::kArgErrUntouched);
    }
    // Read as a property with a place for the result, it runs.
    InvokeOutcome outcome;
    Invoke(object.Get(), {1, DISPATCH_PROPERTYGET, {Variant(L"abc"), Variant(L"1")}}, outcome);
    EXPECT_EQ(outcome.hr, S_OK);
    EXPECT_EQ(outcome.result.Text(), L"bcd");
}

TEST(InProcess, OutOfMemoryFailsTheCallWithADescription) {
    ComPtr<IDispatch> object;
    *object.Put() = NewProxy();
    const std::wstring text(1 << 20, L'a');
    for (DISPID id : {1, 2}) {
        SCOPED_TRACE(id);
        InvokeOutcome outcome;
        g_failFrom = 512 * 1024;
        Invoke(object.Get(), {id, DISPATCH_METHOD, {Variant(text), Variant(L"1")}}, outcome);
        g_failFrom = SIZE_MAX;
        EXPECT_EQ(outcome.hr, DISP_E_EXCEPTION);
        EXPECT_EQ(outcome.excepInfo.scode, E_OUTOFMEMORY);
        ASSERT_TRUE(outcome.excepInfo.bstrSource);
        EXPECT_EQ(std::wstring(outcome.excepInfo.bstrSource), L"Travok.Application");
        ASSERT_TRUE(outcome.excepInfo.bstrDescription);
        EXPECT_EQ(std::wstring(outcome.excepInfo.bstrDescription),
                  L"There is not enough memory to finish this operation.");
        EXPECT_NE(V_VT(&outcome.result.v), VT_BSTR);
    }
    // With memory again the same call goes through.
    InvokeOutcome outcome;
    Invoke(object.Get(), {1, DISPATCH_METHOD, {Variant(text), Variant(L"1")}}, outcome);
    EXPECT_EQ(outcome.hr, S_OK);
    EXPECT_EQ(outcome.result.Text(), std::wstring(1 << 20, L'b'));
}

TEST(InProcess, EveryObjectHoldsTheLiveObjectCount) {
    TestApp app;
    IDispatch* first = NewProxy();
    EXPECT_EQ(app.m_nObjectCount, 1);
    IDispatch* second = NewProxy();
    EXPECT_EQ(app.m_nObjectCount, 2);
    first->AddRef();
    first->Release();
    EXPECT_EQ(app.m_nObjectCount, 2);
    first->Release();
    EXPECT_EQ(app.m_nObjectCount, 1);
    second->Release();
    EXPECT_EQ(app.m_nObjectCount, 0);
}

struct CreateCase {
    const char* what;
    bool outer;
    const IID* iid;
    HRESULT hr;
};

class Outer final : public IUnknown {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override {
        *out = this;
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
};

TEST(InProcess, TheFactoryDestroysAnObjectItCannotHandOver) {
    const CreateCase cases[] = {
        {"aggregation asked for", true, &IID_IDispatch, CLASS_E_NOAGGREGATION},
        {"an interface not offered", false, &IID_IPersist, E_NOINTERFACE},
    };
    COleObjectFactory factory(CLSID_NULL, &CTravokDlgAutoProxy::classCTravokDlgAutoProxy, TRUE, "Test.Object");
    for (const CreateCase& c : cases) {
        SCOPED_TRACE(c.what);
        // A client-started program whose main window is enabled: the refused object
        // was its only one, so its going ends the program.
        TestApp app;
        app.m_bUserCtrl = false;
        app.MakeMainWindow(true);
        Outer outer;
        void* out = reinterpret_cast<void*>(0x1);
        EXPECT_EQ(factory.GetClassFactory()->CreateInstance(c.outer ? &outer : nullptr, *c.iid, &out), c.hr);
        EXPECT_EQ(out, nullptr);
        EXPECT_EQ(app.m_nObjectCount, 0);
        EXPECT_FALSE(IsWindow(app.Window()));
        EXPECT_TRUE(app.m_bUserCtrl);
    }
}

TEST(InProcess, TheFactoryHandsOverOneReference) {
    TestApp app;
    COleObjectFactory factory(CLSID_NULL, &CTravokDlgAutoProxy::classCTravokDlgAutoProxy, TRUE, "Test.Object");
    for (const IID* iid : {&IID_IUnknown, &IID_IDispatch, &DIID_ITravok}) {
        IUnknown* object = nullptr;
        ASSERT_EQ(factory.GetClassFactory()->CreateInstance(nullptr, *iid, reinterpret_cast<void**>(&object)), S_OK);
        EXPECT_EQ(app.m_nObjectCount, 1);
        EXPECT_EQ(object->Release(), 0u);
        EXPECT_EQ(app.m_nObjectCount, 0);
    }
    EXPECT_EQ(factory.GetClassFactory()->CreateInstance(nullptr, IID_IDispatch, nullptr), E_POINTER);
}

TEST(InProcess, RegisterAllRegistersEachFactoryOnce) {
    const CLSID testClass = {0x3F0A2C61, 0x9B1D, 0x4E57, {0xA8, 0x42, 0x6D, 0x1E, 0x90, 0x7B, 0x33, 0xC5}};
    COleObjectFactory factory(testClass, &CTravokDlgAutoProxy::classCTravokDlgAutoProxy, TRUE, "Test.Object");
    COleObjectFactory nameless(CLSID_NULL, &CTravokDlgAutoProxy::classCTravokDlgAutoProxy, TRUE, "Test.Nameless");
    EXPECT_FALSE(factory.IsRegistered());
    EXPECT_TRUE(COleObjectFactory::RegisterAll());
    EXPECT_TRUE(factory.IsRegistered());
    EXPECT_FALSE(nameless.IsRegistered()) << "a factory without a class identifier is left out";
    // Registering again leaves the registration as it is.
    EXPECT_TRUE(COleObjectFactory::RegisterAll());
    EXPECT_TRUE(factory.IsRegistered());
    COleObjectFactory::RevokeAll();
    EXPECT_FALSE(factory.IsRegistered());
}

struct LifetimeCase {
    const char* what;
    bool userControl;  // the flag before the last object goes
    int mainWindow;    // 0 none, 1 enabled, 2 disabled
    bool windowStays;
    bool quitPosted;
};

TEST(InProcess, TheLastObjectEndsOnlyAClientStartedProgramThatTheUserIsNotIn) {
    const LifetimeCase cases[] = {
        {"user-started, main window enabled", true, 1, true, false},
        {"user-started, no main window", true, 0, true, false},
        {"client-started, main window enabled", false, 1, false, false},
        {"client-started, a modal box disabled the main window", false, 2, true, false},
        {"client-started, no main window", false, 0, true, true},
    };
    for (const LifetimeCase& c : cases) {
        SCOPED_TRACE(c.what);
        TestApp app;
        app.m_bUserCtrl = c.userControl;
        if (c.mainWindow) app.MakeMainWindow(c.mainWindow == 1);
        AfxOleLockApp();
        AfxOleLockApp();
        AfxOleUnlockApp();
        EXPECT_FALSE(TestApp::DrainQuit());
        if (c.mainWindow) {
            EXPECT_TRUE(IsWindow(app.Window())) << "an object is still alive";
        }
        AfxOleUnlockApp();
        EXPECT_EQ(app.m_nObjectCount, 0);
        EXPECT_TRUE(app.m_bUserCtrl);
        if (c.mainWindow) {
            EXPECT_EQ(IsWindow(app.Window()) != FALSE, c.windowStays);
        }
        EXPECT_EQ(TestApp::DrainQuit(), c.quitPosted);

        // Handed to the user: later objects never end it, even with the window enabled.
        if (c.mainWindow) EnableWindow(app.Window(), TRUE);
        AfxOleLockApp();
        AfxOleUnlockApp();
        if (c.mainWindow && c.windowStays) {
            EXPECT_TRUE(IsWindow(app.Window()));
        }
        EXPECT_FALSE(TestApp::DrainQuit());
    }
}

}  // namespace
