// Objects that the fuzz passes as arguments, whose answers the test controls.
#pragma once

#include <windows.h>
#include <ole2.h>
#include <oleauto.h>

#include <atomic>
#include <string>

namespace travok::fuzz {

// An IDispatch of the test's own, passed as an argument. VariantChangeType asks it for
// its value (DISPID_VALUE as a property get); it answers with a fixed value or fails.
class ValueObject final : public IDispatch {
public:
    // Answers value (copied) to every property get of DISPID_VALUE.
    static ValueObject* Answering(const VARIANT& value);
    // Fails every call with hr; DISP_E_EXCEPTION fills the exception information.
    static ValueObject* Failing(HRESULT hr);
    // Answers itself: a conversion that keeps asking for the value never ends.
    static ValueObject* Itself();

    // Before answering, calls CodeWithKey("abc", "1") on the object under test: a call
    // that arrives while the server waits for this one's answer.
    void CallBackFirst() { m_callBack = true; }
    // The object that objects calling back call, not held; and how those calls went.
    static void SetCallBackTarget(IDispatch* target) { s_callBackTarget = target; }
    static long CallBacks() { return s_callBacks; }
    static long FailedCallBacks() { return s_failedCallBacks; }

    bool AnswersItself() const { return m_itself; }
    const VARIANT& Value() const { return m_value; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* excepInfo, UINT* argErr) override;

    std::string Describe() const;
    static long Alive() { return s_alive; }

private:
    ValueObject();
    ~ValueObject();

    std::atomic<ULONG> m_refs{1};
    VARIANT m_value;
    HRESULT m_failure = S_OK;
    bool m_itself = false;
    bool m_callBack = false;
    static std::atomic<long> s_alive;
    static std::atomic<IDispatch*> s_callBackTarget;
    static std::atomic<long> s_callBacks, s_failedCallBacks;
};

// An object with IUnknown only: no value to convert.
class PlainObject final : public IUnknown {
public:
    PlainObject() { ++s_alive; }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_refs; }
    ULONG STDMETHODCALLTYPE Release() override;
    static long Alive() { return s_alive; }

private:
    ~PlainObject() { --s_alive; }
    std::atomic<ULONG> m_refs{1};
    static std::atomic<long> s_alive;
};

}  // namespace travok::fuzz
