// CCmdTarget: an object that automation clients reach late-bound, through one IDispatch
// implementation that walks the class's declarative dispatch table.
#pragma once

#include <array>
#include <exception>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>

#include "String.h"
#include "Win.h"

class CCmdTarget;

// A dispatch member: external name, parameter types, result type and the handler.
// Supported types: a VT_BSTR parameter reaches the handler as std::string_view over the
// argument converted to the active ANSI code page (whole, embedded zeros included), or as
// std::wstring_view over the client's string itself, for a handler that converts it its
// own way; a VT_BSTR result is a BSTR that the handler returns and the client then owns; VT_EMPTY
// as result means the handler returns nothing. A member's DISPID is its position in
// the table, counted from 1.
struct DispEntry {
    static constexpr UINT kMaxParams = 4;
    using Call = void (*)(CCmdTarget& target, const std::wstring* args, VARIANT* result);

    const char* name;
    VARTYPE result;
    std::array<VARTYPE, kMaxParams> params;
    UINT paramCount;
    Call call;  // runs the handler with the converted arguments, in parameter order

    std::span<const VARTYPE> Params() const { return {params.data(), paramCount}; }
};

// An interface identifier that the object answers with its dispatch implementation,
// beside IUnknown and IDispatch.
struct InterfaceEntry {
    const IID* iid;
};

// Thrown by a dispatch handler: the call fails with DISP_E_EXCEPTION, and the client's
// exception information carries this status code and description.
class COleDispatchException : public std::exception {
public:
    COleDispatchException(HRESULT scode, std::string description)
        : m_scode(scode), m_strDescription(std::move(description)) {}
    const char* what() const noexcept override { return m_strDescription.c_str(); }

    HRESULT m_scode;
    std::string m_strDescription;
};

// The run-time class of a dynamically creatable command target: a function that
// allocates and constructs one object.
struct CRuntimeClass {
    CCmdTarget* (*m_pfnCreateObject)();

    CCmdTarget* CreateObject() const { return m_pfnCreateObject(); }
};

template <class T>
CCmdTarget* CreateCmdTarget() {
    return new T;
}

class CCmdTarget {
public:
    // An object starts with one reference, which its creator owns.
    CCmdTarget();
    virtual ~CCmdTarget();
    CCmdTarget(const CCmdTarget&) = delete;
    CCmdTarget& operator=(const CCmdTarget&) = delete;

    // The object's IUnknown. Releasing the last reference calls OnFinalRelease.
    ULONG ExternalAddRef();
    ULONG ExternalRelease();
    HRESULT ExternalQueryInterface(REFIID iid, void** out);

    // The dispatch implementation, or nullptr when automation is not enabled.
    IDispatch* GetIDispatch(bool addRef);

protected:
    // Makes IDispatch (and the interface table's identifiers) available to clients.
    void EnableAutomation() { m_bAutomation = true; }
    // The last reference is gone: by default the object deletes itself.
    virtual void OnFinalRelease();

    virtual std::span<const DispEntry> GetDispatchTable() const { return {}; }
    virtual std::span<const InterfaceEntry> GetInterfaceTable() const { return {}; }

    // What a failed call's exception information names as its source: by default the
    // application's name.
    virtual std::string GetErrorSource() const;
    // The description for a failure that brought no text of its own (an out-of-memory
    // or other unexpected exception): by default the system's text for the code.
    virtual std::string GetErrorDescription(HRESULT scode) const;

private:
    class XDispatch final : public IDispatch {
    public:
        explicit XDispatch(CCmdTarget& owner) : m_owner(owner) {}
        HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
        ULONG STDMETHODCALLTYPE AddRef() override;
        ULONG STDMETHODCALLTYPE Release() override;
        HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
        HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
        HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid,
                                                DISPID* ids) override;
        HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params,
                                         VARIANT* result, EXCEPINFO* excepInfo, UINT* argErr) override;

    private:
        CCmdTarget& m_owner;
    };

    HRESULT GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, DISPID* ids) const;
    HRESULT Invoke(DISPID id, REFIID iid, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* excepInfo,
                   UINT* argErr);
    void FillException(EXCEPINFO* excepInfo, HRESULT scode, const std::string* description) const;

    XDispatch m_xDispatch{*this};
    volatile LONG m_refCount = 1;
    bool m_bAutomation = false;
};

namespace dispatch_detail {

template <class F>
struct HandlerTraits;

template <class T, class R, class... A>
struct HandlerTraits<R (T::*)(A...)> {
    using Target = T;
    using Result = R;
    static constexpr UINT kArity = sizeof...(A);
    static constexpr bool kStringParams =
        ((std::is_same_v<A, std::string_view> || std::is_same_v<A, std::wstring_view>) && ...);
    using Params = std::tuple<A...>;
};

// An argument as the handler's parameter type P takes it. A converted one is a temporary
// that lives until the handler returns.
template <class P>
auto Argument(const std::wstring& arg) {
    if constexpr (std::is_same_v<P, std::wstring_view>) return std::wstring_view(arg);
    else return WideToAnsi(arg);
}

template <auto Handler, size_t... I>
void CallHandler(CCmdTarget& target, const std::wstring* args, VARIANT* result, std::index_sequence<I...>) {
    using Traits = HandlerTraits<decltype(Handler)>;
    using Params = typename Traits::Params;
    auto& self = static_cast<typename Traits::Target&>(target);
    if constexpr (std::is_void_v<typename Traits::Result>) {
        (self.*Handler)(Argument<std::tuple_element_t<I, Params>>(args[I])...);
    } else {
        BSTR value = (self.*Handler)(Argument<std::tuple_element_t<I, Params>>(args[I])...);
        if (result) {
            VariantInit(result);
            V_VT(result) = VT_BSTR;
            V_BSTR(result) = value;
        } else {
            SysFreeString(value);  // the client gave no place for it
        }
    }
}

template <auto Handler>
void Call(CCmdTarget& target, const std::wstring* args, VARIANT* result) {
    CallHandler<Handler>(target, args, result,
                         std::make_index_sequence<HandlerTraits<decltype(Handler)>::kArity>());
}

}  // namespace dispatch_detail

// A dispatch table entry. The declared types are checked against the handler's
// signature when the table is compiled.
template <auto Handler>
consteval DispEntry DispFunction(const char* name, VARTYPE result, std::initializer_list<VARTYPE> params) {
    using Traits = dispatch_detail::HandlerTraits<decltype(Handler)>;
    static_assert(Traits::kArity <= DispEntry::kMaxParams, "too many parameters");
    static_assert(Traits::kStringParams, "handlers take std::string_view or std::wstring_view parameters");
    if (params.size() != Traits::kArity) throw "parameter count differs from the handler's";
    for (VARTYPE type : params)
        if (type != VT_BSTR) throw "only VT_BSTR parameters are supported";
    if (result == VT_BSTR) {
        if (!std::is_same_v<typename Traits::Result, BSTR>) throw "a VT_BSTR result needs a handler returning BSTR";
    } else if (result == VT_EMPTY) {
        if (!std::is_void_v<typename Traits::Result>) throw "a VT_EMPTY result needs a handler returning void";
    } else {
        throw "unsupported result type";
    }
    DispEntry entry{name, result, {}, static_cast<UINT>(params.size()), &dispatch_detail::Call<Handler>};
    UINT i = 0;
    for (VARTYPE type : params) entry.params[i++] = type;
    return entry;
}
