// The Wine check, and the wait at the end of a local server that runs only under Wine:
// there it takes COM's own interfaces from the RPC runtime, so that calls across
// apartments stop; under Windows' answer nothing is touched and they go on.
#include <gtest/gtest.h>

#include <thread>

#include "framework/Handles.h"
#include "framework/Wine.h"
#include "framework/WineLateAnswers.h"

namespace {

class WineGate : public testing::Test {
protected:
    void TearDown() override { SetRunningUnderWine(std::nullopt); }
};

TEST_F(WineGate, AsksNtdllAndTakesWhatATestSets) {
    // These tests run under Wine, whose ntdll.dll tells itself by wine_get_version.
    EXPECT_TRUE(RunningUnderWine());
    SetRunningUnderWine(false);
    EXPECT_FALSE(RunningUnderWine());
    SetRunningUnderWine(true);
    EXPECT_TRUE(RunningUnderWine());
    SetRunningUnderWine(std::nullopt);
    EXPECT_TRUE(RunningUnderWine());
}

// An IDispatch that answers GetTypeInfoCount, living in an apartment of its own.
class Counted final : public IDispatch {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (iid == IID_IUnknown || iid == IID_IDispatch) {
            *out = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        *count = 7;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return E_NOTIMPL;
    }
};

// The object lives on a thread of the multithreaded apartment, which stays until the
// test is done; this thread, in an apartment of its own, calls it through a proxy before
// and after the wait.
void CallAcrossTheWait(bool underWine) {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    Counted object;
    IStream* marshalled = nullptr;
    const UniqueHandle ready(CreateEventW(nullptr, TRUE, FALSE, nullptr)), done(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    std::thread owner([&] {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        CoMarshalInterThreadInterfaceInStream(IID_IDispatch, &object, &marshalled);
        SetEvent(ready.get());
        WaitForSingleObject(done.get(), INFINITE);
        CoUninitialize();
    });
    WaitForSingleObject(ready.get(), INFINITE);
    if (marshalled) {
        ComPtr<IDispatch> proxy;
        EXPECT_TRUE(SUCCEEDED(CoGetInterfaceAndReleaseStream(marshalled, IID_IDispatch, proxy.PutVoid())));
        UINT count = 0;
        EXPECT_EQ(proxy->GetTypeInfoCount(&count), S_OK);
        EXPECT_EQ(count, 7u);

        SetRunningUnderWine(underWine);
        WaitForLateAnswersUnderWine();
        count = 0;
        const HRESULT after = proxy->GetTypeInfoCount(&count);
        if (underWine) {
            EXPECT_NE(after, S_OK) << "IDispatch is still served after the wait";
        } else {
            EXPECT_EQ(after, S_OK);
            EXPECT_EQ(count, 7u);
        }
    } else {
        ADD_FAILURE() << "the object could not be marshalled";
    }
    SetEvent(done.get());
    owner.join();
    CoUninitialize();
}

TEST_F(WineGate, TheLateAnswerWaitLeavesCOMsInterfacesAloneUnderWindows) { CallAcrossTheWait(false); }

TEST_F(WineGate, TheLateAnswerWaitUnregistersCOMsInterfacesUnderWine) { CallAcrossTheWait(true); }

}  // namespace
