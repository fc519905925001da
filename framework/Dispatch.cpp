// CCmdTarget's IUnknown and its one IDispatch implementation over the dispatch table.
#include "Dispatch.h"

#include <new>

#include "Handles.h"
#include "String.h"
#include "WinApp.h"

namespace {

// Owns a VARIANT for the length of a conversion.
struct ScopedVariant {
    VARIANT value;
    ScopedVariant() { VariantInit(&value); }
    ~ScopedVariant() { VariantClear(&value); }
    ScopedVariant(const ScopedVariant&) = delete;
    ScopedVariant& operator=(const ScopedVariant&) = delete;
};

std::wstring BstrText(BSTR text) {
    // The BSTR's own length: embedded zeros are part of the text. A null BSTR is empty.
    return std::wstring(text ? text : L"", SysStringLen(text));
}

// A DECIMAL as its documentation allows: scale 0 to 28, sign 0 or negative.
bool ValidDecimal(const DECIMAL& d) { return d.scale <= 28 && (d.sign == 0 || d.sign == DECIMAL_NEG); }

// How many times an object's value may again be an object before the argument is refused.
constexpr int kMaxObjectDepth = 16;

// An argument as a VT_BSTR, by the standard value conversion. Two kinds of value are not
// handed to VariantChangeType as they are, because under Wine they take the server down:
// it fetches an object's value (DISPID_VALUE) and converts that by calling itself, so an
// object whose value is itself overflows the stack; and its decimal-to-text conversion
// overruns its buffer or never returns for a scale far beyond 28. So references are
// followed and objects asked for their value here, a bounded number of times, and a
// DECIMAL outside its range is refused as an invalid argument.
HRESULT ChangeToBstr(const VARIANT& arg, VARIANT& out, int depth) {
    const VARIANT* v = &arg;
    if (V_VT(v) == (VT_BYREF | VT_VARIANT) && V_VARIANTREF(v)) v = V_VARIANTREF(v);
    const bool byRef = (V_VT(v) & VT_BYREF) != 0;
    const VARTYPE type = static_cast<VARTYPE>(V_VT(v) & ~VT_BYREF);
    if (!byRef || V_BYREF(v)) {
        if (type == VT_DECIMAL && !ValidDecimal(byRef ? *V_DECIMALREF(v) : V_DECIMAL(v))) return E_INVALIDARG;
        IDispatch* object = type != VT_DISPATCH ? nullptr : byRef ? *V_DISPATCHREF(v) : V_DISPATCH(v);
        if (object) {
            if (depth >= kMaxObjectDepth) return DISP_E_TYPEMISMATCH;
            ScopedVariant value;
            DISPPARAMS none{};
            // What VariantChangeType asks, and a failure answered as it answers one.
            if (FAILED(object->Invoke(DISPID_VALUE, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none,
                                      &value.value, nullptr, nullptr)))
                return DISP_E_TYPEMISMATCH;
            return ChangeToBstr(value.value, out, depth + 1);
        }
    }
    return VariantChangeType(&out, const_cast<VARIANT*>(&arg), 0, VT_BSTR);
}

// An argument as a string; anything but a string goes through the standard value
// conversion first, so a number arrives as its decimal text.
HRESULT ArgumentToText(VARIANTARG& arg, std::wstring& out) {
    if (V_VT(&arg) == VT_BSTR) {
        out = BstrText(V_BSTR(&arg));
        return S_OK;
    }
    ScopedVariant converted;
    HRESULT hr = ChangeToBstr(arg, converted.value, 0);
    if (FAILED(hr)) return hr;
    out = BstrText(V_BSTR(&converted.value));
    return S_OK;
}

BSTR AllocBstr(const std::string& ansi) { return CBstr(ansi).Detach(); }

// Equal but for letter case, character by character. Not lstrcmpiA: it compares
// linguistically and skips characters it counts as ignorable, so "CodeWith\xADKey" (a
// soft hyphen inside) would name CodeWithKey.
bool SameNameIgnoringCase(std::string_view name, std::string_view member) {
    if (name.size() != member.size()) return false;
    auto upper = [](char c) {
        return static_cast<char>(reinterpret_cast<UINT_PTR>(CharUpperA(reinterpret_cast<LPSTR>(
            static_cast<UINT_PTR>(static_cast<unsigned char>(c))))));
    };
    for (size_t i = 0; i < name.size(); ++i)
        if (upper(name[i]) != upper(member[i])) return false;
    return true;
}

}  // namespace

CCmdTarget::CCmdTarget() = default;

CCmdTarget::~CCmdTarget() = default;

ULONG CCmdTarget::ExternalAddRef() { return static_cast<ULONG>(InterlockedIncrement(&m_refCount)); }

ULONG CCmdTarget::ExternalRelease() {
    const LONG left = InterlockedDecrement(&m_refCount);
    if (left == 0) OnFinalRelease();
    return static_cast<ULONG>(left);
}

void CCmdTarget::OnFinalRelease() { delete this; }

HRESULT CCmdTarget::ExternalQueryInterface(REFIID iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    bool offered = IsEqualIID(iid, IID_IUnknown);
    if (!offered && m_bAutomation) {
        offered = IsEqualIID(iid, IID_IDispatch);
        for (const InterfaceEntry& entry : GetInterfaceTable()) offered = offered || IsEqualIID(iid, *entry.iid);
    }
    if (!offered) return E_NOINTERFACE;
    // One pointer for every interface, so that IUnknown gives the object's identity.
    *out = static_cast<IDispatch*>(&m_xDispatch);
    ExternalAddRef();
    return S_OK;
}

IDispatch* CCmdTarget::GetIDispatch(bool addRef) {
    if (!m_bAutomation) return nullptr;
    if (addRef) ExternalAddRef();
    return &m_xDispatch;
}

std::string CCmdTarget::GetErrorSource() const {
    CWinApp* app = AfxGetApp();
    return app ? app->m_appName : std::string();
}

std::string CCmdTarget::GetErrorDescription(HRESULT scode) const {
    wchar_t* allocated = nullptr;
    DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS,
                             nullptr, static_cast<DWORD>(scode), 0, reinterpret_cast<LPWSTR>(&allocated), 0, nullptr);
    const UniqueLocal<wchar_t> text(allocated);
    std::wstring_view view(text ? text.get() : L"", text ? n : 0);
    while (!view.empty() && (view.back() == L'\r' || view.back() == L'\n')) view.remove_suffix(1);
    return WideToAnsi(view);
}

void CCmdTarget::FillException(EXCEPINFO* excepInfo, HRESULT scode, const std::string* description) const {
    if (!excepInfo) return;
    *excepInfo = EXCEPINFO{};
    // scode, not wCode: a client such as VBScript reads its error number from scode.
    excepInfo->scode = scode;
    try {
        excepInfo->bstrSource = AllocBstr(GetErrorSource());
        excepInfo->bstrDescription = AllocBstr(description ? *description : GetErrorDescription(scode));
    } catch (...) {
        // Out of memory again: the status code still tells the client what happened.
    }
}

HRESULT CCmdTarget::GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, DISPID* ids) const {
    if (!IsEqualIID(iid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
    if (count == 0) return S_OK;
    if (!names || !ids) return E_POINTER;
    // Arguments are positional only: argument names never have a DISPID.
    for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
    std::string name;
    try {
        name = WideToAnsi(names[0] ? names[0] : L"");
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    const std::span<const DispEntry> table = GetDispatchTable();
    for (size_t i = 0; i < table.size(); ++i) {
        if (SameNameIgnoringCase(name, table[i].name)) {
            ids[0] = static_cast<DISPID>(i + 1);
            return S_OK;
        }
    }
    return DISP_E_UNKNOWNNAME;
}

HRESULT CCmdTarget::Invoke(DISPID id, REFIID iid, WORD flags, DISPPARAMS* params, VARIANT* result,
                           EXCEPINFO* excepInfo, UINT* argErr) {
    if (!IsEqualIID(iid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
    if (!params || (params->cArgs && !params->rgvarg) || (params->cNamedArgs && !params->rgdispidNamedArgs))
        return E_POINTER;
    const bool put = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
    // The one named argument a caller may pass is the value of a property put.
    const bool putValueOnly =
        put && params->cNamedArgs == 1 && params->rgdispidNamedArgs[0] == DISPID_PROPERTYPUT;
    if (params->cNamedArgs != 0 && !putValueOnly) return DISP_E_NONAMEDARGS;

    const std::span<const DispEntry> table = GetDispatchTable();
    if (id < 1 || static_cast<size_t>(id) > table.size()) return DISP_E_MEMBERNOTFOUND;
    const DispEntry& entry = table[static_cast<size_t>(id - 1)];

    // Every member is a method; a method with a result may also be read as a property.
    if (put) return DISP_E_TYPEMISMATCH;
    if (!(flags & DISPATCH_METHOD)) {
        if (entry.result == VT_EMPTY) return DISP_E_BADPARAMCOUNT;
        if (!result) return DISP_E_PARAMNOTOPTIONAL;
    }
    if (params->cArgs > entry.paramCount) return DISP_E_BADPARAMCOUNT;
    if (params->cArgs < entry.paramCount) return DISP_E_PARAMNOTOPTIONAL;

    try {
        std::array<std::wstring, DispEntry::kMaxParams> args;
        for (UINT i = 0; i < entry.paramCount; ++i) {
            // DISPPARAMS holds the arguments last first.
            const UINT position = params->cArgs - 1 - i;
            HRESULT hr = ArgumentToText(params->rgvarg[position], args[i]);
            if (FAILED(hr)) {
                if (argErr) *argErr = position;
                return hr;
            }
        }
        entry.call(*this, args.data(), result);
        return S_OK;
    } catch (const COleDispatchException& e) {
        FillException(excepInfo, e.m_scode, &e.m_strDescription);
    } catch (const std::bad_alloc&) {
        FillException(excepInfo, E_OUTOFMEMORY, nullptr);
    } catch (...) {
        FillException(excepInfo, E_UNEXPECTED, nullptr);
    }
    return DISP_E_EXCEPTION;
}

// The COM face of the object: every call goes to the owner, and nothing is thrown out.

HRESULT CCmdTarget::XDispatch::QueryInterface(REFIID iid, void** out) { return m_owner.ExternalQueryInterface(iid, out); }

ULONG CCmdTarget::XDispatch::AddRef() { return m_owner.ExternalAddRef(); }

ULONG CCmdTarget::XDispatch::Release() { return m_owner.ExternalRelease(); }

HRESULT CCmdTarget::XDispatch::GetTypeInfoCount(UINT* count) {
    if (!count) return E_POINTER;
    *count = 0;  // no type library
    return S_OK;
}

HRESULT CCmdTarget::XDispatch::GetTypeInfo(UINT index, LCID, ITypeInfo** info) {
    if (info) *info = nullptr;
    return index != 0 ? E_INVALIDARG : E_NOTIMPL;
}

HRESULT CCmdTarget::XDispatch::GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    try {
        return m_owner.GetIDsOfNames(iid, names, count, ids);
    } catch (...) {
        return E_UNEXPECTED;
    }
}

HRESULT CCmdTarget::XDispatch::Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                      EXCEPINFO* excepInfo, UINT* argErr) {
    try {
        return m_owner.Invoke(id, iid, flags, params, result, excepInfo, argErr);
    } catch (...) {
        return E_UNEXPECTED;
    }
}
