// The objects the fuzz passes as arguments: one that answers a value of our choosing,
// fails, answers itself or first calls the object under test; and one without IDispatch.
#include "ArgObjects.h"

#include <cwchar>

#include "FuzzCall.h"

namespace travok::fuzz {

std::atomic<long> ValueObject::s_alive{0};
std::atomic<IDispatch*> ValueObject::s_callBackTarget{nullptr};
std::atomic<long> ValueObject::s_callBacks{0};
std::atomic<long> ValueObject::s_failedCallBacks{0};
std::atomic<long> PlainObject::s_alive{0};

ValueObject::ValueObject() {
    VariantInit(&m_value);
    ++s_alive;
}

ValueObject::~ValueObject() {
    VariantClear(&m_value);
    --s_alive;
}

ValueObject* ValueObject::Answering(const VARIANT& value) {
    auto* object = new ValueObject;
    VariantCopy(&object->m_value, const_cast<VARIANT*>(&value));
    return object;
}

ValueObject* ValueObject::Failing(HRESULT hr) {
    auto* object = new ValueObject;
    object->m_failure = hr;
    return object;
}

ValueObject* ValueObject::Itself() {
    auto* object = new ValueObject;
    object->m_itself = true;
    return object;
}

HRESULT ValueObject::QueryInterface(REFIID iid, void** out) {
    if (!out) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch)) {
        *out = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

ULONG ValueObject::AddRef() { return ++m_refs; }

ULONG ValueObject::Release() {
    const ULONG left = --m_refs;
    if (left == 0) delete this;
    return left;
}

HRESULT ValueObject::GetTypeInfoCount(UINT* count) {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
}

HRESULT ValueObject::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
    if (info) *info = nullptr;
    return E_NOTIMPL;
}

HRESULT ValueObject::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) { return DISP_E_UNKNOWNNAME; }

HRESULT ValueObject::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS*, VARIANT* result,
                            EXCEPINFO* excepInfo, UINT*) {
    if (FAILED(m_failure)) {
        if (m_failure == DISP_E_EXCEPTION && excepInfo) {
            *excepInfo = EXCEPINFO{};
            excepInfo->scode = E_FAIL;
            excepInfo->bstrDescription = SysAllocString(L"no value today");
        }
        return m_failure;
    }
    if (id != DISPID_VALUE || !(flags & DISPATCH_PROPERTYGET)) return DISP_E_MEMBERNOTFOUND;
    if (IDispatch* target = s_callBackTarget; m_callBack && target) {
        VARIANT args[2];
        V_VT(&args[1]) = VT_BSTR;
        V_BSTR(&args[1]) = SysAllocString(L"abc");
        V_VT(&args[0]) = VT_BSTR;
        V_BSTR(&args[0]) = SysAllocString(L"1");
        DISPPARAMS params{args, nullptr, 2, 0};
        VARIANT coded;
        VariantInit(&coded);
        const HRESULT hr =
            target->Invoke(1, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, &coded, nullptr, nullptr);
        ++s_callBacks;
        if (hr != S_OK || V_VT(&coded) != VT_BSTR || !V_BSTR(&coded) || std::wcscmp(V_BSTR(&coded), L"bcd") != 0)
            ++s_failedCallBacks;
        VariantClear(&coded);
        VariantClear(&args[0]);
        VariantClear(&args[1]);
    }
    if (!result) return DISP_E_PARAMNOTOPTIONAL;
    VariantInit(result);
    if (m_itself) {
        AddRef();
        V_VT(result) = VT_DISPATCH;
        V_DISPATCH(result) = this;
        return S_OK;
    }
    return VariantCopy(result, &m_value);
}

HRESULT PlainObject::QueryInterface(REFIID iid, void** out) {
    if (!out) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown)) {
        *out = this;
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

ULONG PlainObject::Release() {
    const ULONG left = --m_refs;
    if (left == 0) delete this;
    return left;
}

std::string ValueObject::Describe() const {
    if (FAILED(m_failure)) return "object failing with " + HresultName(m_failure);
    if (m_itself) return "object whose value is itself";
    if (m_callBack) return "object that calls back, then answers " + DescribeVariant(m_value, nullptr);
    return "object whose value is " + DescribeVariant(m_value, nullptr);
}

}  // namespace travok::fuzz
