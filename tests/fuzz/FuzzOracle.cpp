// The fuzz oracle: for each call, the one answer the server may give (as the server
// sees it: the proxy changes some calls on the way), and the check of an outcome.
#include "FuzzOracle.h"

#include <cstdio>
#include <cstdlib>
#include <iterator>

#include "ArgObjects.h"
#include "tests/support/ReferenceCoder.h"

namespace travok::fuzz {

namespace {

const wchar_t kNoKeyMessage[] = L"There has to be a key number!";
const wchar_t kSource[] = L"Travok.Application";
const char* const kMembers[] = {"CodeWithKey", "DeCodeWithKey", "About"};
constexpr DISPID kAbout = 3;
constexpr UINT kCoderParams = 2;

bool SameIgnoringAsciiCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        auto fold = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
        if (fold(a[i]) != fold(b[i])) return false;
    }
    return true;
}

// The member a name stands for: the name in the code page, compared without regard to
// case. Every member name is ASCII, and in the code page only ASCII letters fold to
// ASCII letters, so ASCII case folding is the whole rule.
DISPID MemberOf(std::wstring_view name) {
    const std::string ansi = ToAnsiLikeTheProgram(name);
    for (DISPID i = 0; i < static_cast<DISPID>(std::size(kMembers)); ++i)
        if (SameIgnoringAsciiCase(ansi, kMembers[i])) return i + 1;
    return DISPID_UNKNOWN;
}

std::wstring BstrText(BSTR s) { return s ? std::wstring(s, SysStringLen(s)) : std::wstring(); }

bool ValidDecimal(const DECIMAL& d) { return d.scale <= 28 && (d.sign == 0 || d.sign == DECIMAL_NEG); }

// Arguments the standard conversion cannot be asked about (under Wine it overflows the
// stack or overruns a buffer on them), and the server's answer for them: a DECIMAL
// outside its documented range (scale up to 28, sign 0 or negative) is an invalid
// argument, directly, by reference or as an object's value; an object whose value is
// itself is asked a bounded number of times, then refused as a type mismatch.
bool Unsound(const VARIANT& arg, HRESULT& hr) {
    const VARIANT* v = &arg;
    if (V_VT(v) == (VT_BYREF | VT_VARIANT) && V_VARIANTREF(v)) v = V_VARIANTREF(v);
    const bool byRef = (V_VT(v) & VT_BYREF) != 0;
    const VARTYPE type = static_cast<VARTYPE>(V_VT(v) & ~VT_BYREF);
    if (byRef && !V_BYREF(v)) return false;
    if (type == VT_DECIMAL && !ValidDecimal(byRef ? *V_DECIMALREF(v) : V_DECIMAL(v))) {
        hr = E_INVALIDARG;
        return true;
    }
    if (type != VT_DISPATCH) return false;
    // Every object among the arguments is one of ours.
    auto* object = static_cast<ValueObject*>(byRef ? *V_DISPATCHREF(v) : V_DISPATCH(v));
    if (!object) return false;
    if (object->AnswersItself()) {
        hr = DISP_E_TYPEMISMATCH;
        return true;
    }
    const VARIANT& value = object->Value();
    if (V_VT(&value) == VT_DECIMAL && !ValidDecimal(V_DECIMAL(&value))) {
        hr = E_INVALIDARG;
        return true;
    }
    return false;
}

// A string with an odd number of bytes as the proxy hands it over: whole characters
// again, the last one made of the odd byte and a zero byte above it.
bool OddStringAcrossTheProxy(const VARIANT& arg, std::wstring& text) {
    const VARIANT* v = &arg;
    if (V_VT(v) == (VT_BYREF | VT_VARIANT) && V_VARIANTREF(v)) v = V_VARIANTREF(v);
    BSTR s = V_VT(v) == VT_BSTR ? V_BSTR(v) : V_VT(v) == (VT_BYREF | VT_BSTR) && V_BSTRREF(v) ? *V_BSTRREF(v) : nullptr;
    const UINT bytes = SysStringByteLen(s);
    if (!s || bytes % 2 == 0) return false;
    text.assign(s, bytes / 2);
    text += static_cast<wchar_t>(reinterpret_cast<const unsigned char*>(s)[bytes - 1]);
    return true;
}

// An argument as the text the server must see; not a string: the standard conversion.
HRESULT ArgumentText(const VARIANT& arg, Transport transport, std::wstring& text) {
    if (transport == Transport::OutOfProcess && OddStringAcrossTheProxy(arg, text)) return S_OK;
    if (V_VT(&arg) == VT_BSTR) {
        text = BstrText(V_BSTR(&arg));
        return S_OK;
    }
    HRESULT unsound = S_OK;
    if (Unsound(arg, unsound)) return unsound;
    VARIANT converted;
    VariantInit(&converted);
    const HRESULT hr = VariantChangeType(&converted, const_cast<VARIANT*>(&arg), 0, VT_BSTR);
    if (SUCCEEDED(hr)) text = BstrText(V_BSTR(&converted));
    VariantClear(&converted);
    return hr;
}

Expectation Answer(HRESULT hr) {
    Expectation e;
    e.hr = hr;
    return e;
}

Expectation ExpectNames(const FuzzCall& call) {
    if (!IsEqualIID(call.iid, IID_NULL)) return Answer(DISP_E_UNKNOWNINTERFACE);
    if (call.names.empty()) return Answer(S_OK);
    if (call.nullNames || call.nullIds) return Answer(E_POINTER);
    Expectation e;
    e.ids.assign(call.names.size(), DISPID_UNKNOWN);
    e.ids[0] = call.nullName[0] ? DISPID_UNKNOWN : MemberOf(call.names[0]);
    e.hr = e.ids[0] == DISPID_UNKNOWN ? DISP_E_UNKNOWNNAME : S_OK;
    return e;
}

Expectation ExpectInvoke(const FuzzCall& call, Transport transport) {
    if (!IsEqualIID(call.iid, IID_NULL)) return Answer(DISP_E_UNKNOWNINTERFACE);
    if (call.nullParams || call.nullRgvarg) return Answer(E_POINTER);
    const bool put = (call.flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
    // The one named argument there may be: the value of a property put.
    const bool putValueOnly = put && call.named.size() == 1 && call.named[0] == DISPID_PROPERTYPUT;
    if (!call.named.empty() && !putValueOnly) return Answer(DISP_E_NONAMEDARGS);
    if (call.id < 1 || call.id > kAbout) return Answer(DISP_E_MEMBERNOTFOUND);
    if (put) return Answer(DISP_E_TYPEMISMATCH);
    // Without the method bit a call reads a property, whatever other bits it has.
    const bool method = (call.flags & DISPATCH_METHOD) != 0;
    const UINT params = call.id == kAbout ? 0 : kCoderParams;
    if (!method && call.id == kAbout) return Answer(DISP_E_BADPARAMCOUNT);
    Expectation e;
    // The proxy always gives the server a place for the result, and drops what comes back.
    const bool serverHasResultPlace = call.resultPlace || transport == Transport::OutOfProcess;
    if (!method && !serverHasResultPlace) return Answer(DISP_E_PARAMNOTOPTIONAL);
    if (call.args.size() > params) return Answer(DISP_E_BADPARAMCOUNT);
    if (call.args.size() < params) return Answer(DISP_E_PARAMNOTOPTIONAL);
    if (call.id == kAbout) {
        std::fprintf(stderr, "the generator made About a valid call\n");
        std::abort();
    }

    std::string bytes[kCoderParams];
    for (UINT i = 0; i < kCoderParams; ++i) {
        std::wstring text;
        const HRESULT hr = ArgumentText(call.args[i]->value, transport, text);
        if (FAILED(hr)) {
            e.hr = hr;
            e.argErrSet = true;
            e.argErr = static_cast<UINT>(call.args.size()) - 1 - i;  // DISPPARAMS holds them last first
            return e;
        }
        bytes[i] = ToAnsiLikeTheProgram(text);
    }
    const std::string& text = bytes[0];
    const std::string& key = bytes[1];
    if (!text.empty() && KeyUpToZero(key).empty()) {
        e.hr = DISP_E_EXCEPTION;
        e.scode = E_INVALIDARG;
        e.description = kNoKeyMessage;
        return e;
    }
    e.hr = S_OK;
    e.bstrResult = call.resultPlace;
    if (call.resultPlace) e.result = FromAnsi(CodeByDefinition(call.id == 1, text, key));
    return e;
}

std::string FirstDifference(const std::wstring& want, const std::wstring& got) {
    size_t i = 0;
    while (i < want.size() && i < got.size() && want[i] == got[i]) ++i;
    char text[200];
    std::snprintf(text, sizeof text, "result of %zu characters, want %zu; first difference at %zu: want \"%s\" got \"%s\"",
                  got.size(), want.size(), i, Printable(std::wstring_view(want).substr(std::min(i, want.size())), 12).c_str(),
                  Printable(std::wstring_view(got).substr(std::min(i, got.size())), 12).c_str());
    return text;
}

}  // namespace

std::string ToAnsiLikeTheProgram(std::wstring_view wide) {
    if (wide.empty()) return {};
    const int n = static_cast<int>(wide.size());
    const int size = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), n, nullptr, 0, nullptr, nullptr);
    std::string ansi(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), n, ansi.data(), size, nullptr, nullptr);
    return ansi;
}

std::wstring FromAnsi(std::string_view ansi) {
    if (ansi.empty()) return {};
    const int n = static_cast<int>(ansi.size());
    const int size = MultiByteToWideChar(CP_ACP, 0, ansi.data(), n, nullptr, 0);
    std::wstring wide(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_ACP, 0, ansi.data(), n, wide.data(), size);
    return wide;
}

std::string_view KeyUpToZero(std::string_view key) { return key.substr(0, key.find('\0')); }

std::string CodeByDefinition(bool encode, std::string_view text, std::string_view key) {
    return travok::test::Shifted(text, KeyUpToZero(key), !encode);
}

Outcome::Outcome() {
    VariantInit(&result);
    V_VT(&result) = VT_I4;
    V_I4(&result) = kResultUntouched;
    excepInfo = EXCEPINFO{};
    excepInfo.scode = kScodeUntouched;
}

Outcome::~Outcome() {
    VariantClear(&result);
    SysFreeString(excepInfo.bstrSource);
    SysFreeString(excepInfo.bstrDescription);
    SysFreeString(excepInfo.bstrHelpFile);
}

void Perform(IDispatch* object, FuzzCall& call, Outcome& outcome) {
    if (call.kind == FuzzCall::Kind::GetIDsOfNames) {
        std::vector<LPOLESTR> names;
        for (size_t i = 0; i < call.names.size(); ++i)
            names.push_back(call.nullName[i] ? nullptr : const_cast<LPOLESTR>(call.names[i].c_str()));
        outcome.ids.assign(std::max<size_t>(call.names.size(), 1), Outcome::kIdUntouched);
        // An empty list is still a list: the proxy refuses a null one (RPC_X_NULL_REF_POINTER).
        names.reserve(1);
        outcome.hr = object->GetIDsOfNames(call.iid, call.nullNames ? nullptr : names.data(),
                                           static_cast<UINT>(call.names.size()), LOCALE_USER_DEFAULT,
                                           call.nullIds ? nullptr : outcome.ids.data());
        return;
    }
    // DISPPARAMS holds the arguments last first; the proxy may rewrite its copies of
    // by-reference entries, never the arguments' own storage.
    std::vector<VARIANT> args(call.args.size());
    for (size_t i = 0; i < call.args.size(); ++i) args[args.size() - 1 - i] = call.args[i]->value;
    std::vector<DISPID> named = call.named;
    DISPPARAMS params{call.nullRgvarg || args.empty() ? nullptr : args.data(), named.empty() ? nullptr : named.data(),
                      static_cast<UINT>(args.size()), static_cast<UINT>(named.size())};
    outcome.hr = object->Invoke(call.id, call.iid, LOCALE_USER_DEFAULT, call.flags, call.nullParams ? nullptr : &params,
                                call.resultPlace ? &outcome.result : nullptr,
                                call.excepInfoPlace ? &outcome.excepInfo : nullptr,
                                call.argErrPlace ? &outcome.argErr : nullptr);
}

Expectation Expect(const FuzzCall& call, Transport transport) {
    return call.kind == FuzzCall::Kind::GetIDsOfNames ? ExpectNames(call) : ExpectInvoke(call, transport);
}

std::string Check(const FuzzCall& call, Transport transport, const Expectation& expected, const Outcome& outcome) {
    const bool inProcess = transport == Transport::InProcess;
    if (outcome.hr != expected.hr) return "answered " + HresultName(outcome.hr) + ", want " + HresultName(expected.hr);

    if (call.kind == FuzzCall::Kind::GetIDsOfNames) {
        if (outcome.hr == S_OK || outcome.hr == DISP_E_UNKNOWNNAME) {
            if (!expected.ids.empty() && outcome.ids != expected.ids) {
                std::string why = "ids";
                for (DISPID id : outcome.ids) why.append(1, ' ').append(std::to_string(id));
                why += ", want";
                for (DISPID id : expected.ids) why.append(1, ' ').append(std::to_string(id));
                return why;
            }
        } else if (inProcess && !call.nullIds) {
            for (DISPID id : outcome.ids)
                if (id != Outcome::kIdUntouched) return "a failed lookup wrote into the ids";
        }
        return {};
    }

    const VARTYPE vt = V_VT(&outcome.result);
    if (expected.bstrResult) {
        if (vt != VT_BSTR) return "result of vt " + std::to_string(vt) + ", want a string";
        const std::wstring got = BstrText(V_BSTR(&outcome.result));
        if (got != expected.result) return FirstDifference(expected.result, got);
    } else if (call.resultPlace) {
        // A failed call hands back no string; in process it leaves the place alone.
        if (inProcess && (vt != VT_I4 || V_I4(&outcome.result) != Outcome::kResultUntouched))
            return "the result place was written (vt " + std::to_string(vt) + ")";
        if (vt == VT_BSTR) return "a failed call handed back a string";
    }

    if (call.excepInfoPlace) {
        const EXCEPINFO& info = outcome.excepInfo;
        if (outcome.hr == DISP_E_EXCEPTION) {
            if (info.scode != expected.scode) return "exception scode " + HresultName(info.scode);
            if (info.wCode != 0) return "exception wCode set beside scode";
            if (BstrText(info.bstrDescription) != expected.description)
                return "exception description \"" + Printable(BstrText(info.bstrDescription), 80) + "\"";
            if (BstrText(info.bstrSource) != kSource)
                return "exception source \"" + Printable(BstrText(info.bstrSource), 80) + "\"";
        } else if (inProcess && (info.scode != Outcome::kScodeUntouched || info.bstrDescription || info.bstrSource)) {
            return "the exception information was written";
        }
    }

    if (call.argErrPlace) {
        if (expected.argErrSet && outcome.argErr != expected.argErr)
            return "argErr " + std::to_string(outcome.argErr) + ", want " + std::to_string(expected.argErr);
        if (!expected.argErrSet && inProcess && outcome.argErr != Outcome::kArgErrUntouched)
            return "argErr written: " + std::to_string(outcome.argErr);
    }
    return {};
}

}  // namespace travok::fuzz
