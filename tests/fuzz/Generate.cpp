// The call generator: member names near and far from the real ones, DISPIDs, flags,
// named arguments and every kind of VARIANT argument, from one seed.
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <limits>

#include "ArgObjects.h"
#include "FuzzCall.h"

namespace travok::fuzz {

namespace {

template <class T, size_t N>
const T& Pick(Rng& r, const T (&items)[N]) {
    return items[r.Below(N)];
}

// A character of the Basic Multilingual Plane that is not a surrogate and not zero.
wchar_t AnyCharacter(Rng& r) {
    for (;;) {
        const auto c = static_cast<wchar_t>(r.Between(1, 0xFFFF));
        if (c < 0xD800 || c > 0xDFFF) return c;
    }
}

// Characters that a careless name comparison ignores or folds: separators, controls,
// ignorable marks, and letters whose case partner is an ASCII letter elsewhere.
const wchar_t kTrickyNameChars[] = {
    L'-', L'\'', L' ', L'\t', L'\x01', L'\x1F', L'\x7F', L'_', L'.', L'?',
    L'\x00AD',  // soft hyphen, in the code page
    L'\x00A0',  // no-break space
    L'\x200B',  // zero-width space
    L'\x0131',  // dotless i
    L'\x0130',  // capital I with dot
    L'\x017F',  // long s
    L'\x212A',  // Kelvin sign
    L'\xFF2B',  // fullwidth K
    L'\x00E9', L'\x00C9', L'\x00DF',
    L'\x0300',  // combining grave accent
    L'\xFEFF',  // byte order mark
    L'\x2010',  // hyphen
};

std::wstring RandomCase(Rng& r, std::wstring name) {
    for (wchar_t& c : name) {
        if (!r.OneIn(2)) continue;
        if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - 32);
        else if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c + 32);
    }
    return name;
}

std::wstring MemberName(Rng& r) {
    static const wchar_t* const kMembers[] = {L"CodeWithKey", L"DeCodeWithKey", L"About"};
    static const wchar_t* const kNear[] = {L"Code",         L"CodeWithKeys", L"DeCode",   L"AboutBox",
                                           L"DecodeWithKe", L"WithKey",      L"CodeWith", L"Abou",
                                           L"Travok",       L"Value",        L"_NewEnum", L"DeCodeWithKeyX"};
    std::wstring name;
    const std::uint32_t shape = r.Below(100);
    if (shape < 70) {
        name = Pick(r, kMembers);
    } else if (shape < 82) {
        name = Pick(r, kNear);
    } else if (shape < 86) {
        name.clear();
    } else if (shape < 93) {
        for (auto n = r.Below(20); n > 0; --n) name += static_cast<wchar_t>(r.Between(0x21, 0x7E));
    } else if (shape < 98) {
        for (auto n = r.Below(20); n > 0; --n) name += AnyCharacter(r);
    } else {
        name = std::wstring(static_cast<size_t>(r.Between(256, 2000)), L'x');
        if (r.OneIn(2)) name = std::wstring(L"CodeWithKey") + name;
    }
    if (r.OneIn(3)) return name;
    name = RandomCase(r, name);
    if (r.OneIn(2)) return name;
    for (auto edits = r.Between(1, 3); edits > 0; --edits) {
        const wchar_t c = r.OneIn(4) ? AnyCharacter(r) : Pick(r, kTrickyNameChars);
        const size_t at = name.empty() ? 0 : r.Below(static_cast<std::uint32_t>(name.size() + 1));
        switch (r.Below(4)) {
        case 0:
        case 1:
            name.insert(at, 1, c);
            break;
        case 2:
            if (at < name.size()) name[at] = c;
            break;
        default:
            if (at < name.size()) name.erase(at, 1);
            break;
        }
    }
    return name;
}

const IID kOtherIids[] = {
    IID_IDispatch,
    IID_IUnknown,
    {0x7C3B5A12, 0x4E2F, 0x11D4, {0x8B, 0x91, 0x00, 0xA0, 0xC9, 0x5E, 0x3D, 0x27}},  // the object's own interface
    {0x00000001, 0x0000, 0x0000, {0, 0, 0, 0, 0, 0, 0, 0}},
};

enum class Role { Text, Key, Other };

BSTR RandomBstr(Rng& r, Role role) {
    const std::wstring& ansi = CodePageTable();
    std::wstring s;
    // A few huge strings, rarely: each costs milliseconds, and megabytes on the wire.
    if (role == Role::Text && r.OneIn(4000)) {
        const auto n = static_cast<size_t>(r.Between(1 << 20, 4 << 20));
        s.resize(n);
        for (size_t i = 0; i < n; ++i) s[i] = ansi[r.Below(255)];
        return SysAllocStringLen(s.data(), static_cast<UINT>(s.size()));
    }
    const std::uint32_t shape = r.Below(1000);
    if (shape < 30) return nullptr;
    if (shape < 80) return SysAllocStringLen(L"", 0);
    if (shape < 100 && role != Role::Other) {
        // An odd number of bytes: the last byte is no whole character.
        std::string bytes(static_cast<size_t>(r.Between(1, 15)) * 2 + 1, '\0');
        for (char& b : bytes) b = static_cast<char>(r.Between(0x30, 0x39));
        return SysAllocStringByteLen(bytes.data(), static_cast<UINT>(bytes.size()));
    }
    size_t length;
    if (role == Role::Key)
        length = r.OneIn(10) ? static_cast<size_t>(r.Between(13, 300)) : static_cast<size_t>(r.Between(1, 12));
    else
        length = r.OneIn(40) ? static_cast<size_t>(r.Between(200, 20000)) : static_cast<size_t>(r.Between(1, 64));
    const std::uint32_t content = r.Below(100);
    for (size_t i = 0; i < length; ++i) {
        wchar_t c;
        if (role == Role::Key && content < 70) c = static_cast<wchar_t>(L'0' + r.Below(10));
        else if (content < 85) c = static_cast<wchar_t>(r.Between(0x20, 0x7E));
        else if (content < 95) c = ansi[r.Below(255)];
        else c = AnyCharacter(r);
        // Embedded zeros and characters outside the code page, here and there.
        if (r.OneIn(200)) c = 0;
        else if (r.OneIn(150)) c = AnyCharacter(r);
        s += c;
    }
    return SysAllocStringLen(s.data(), static_cast<UINT>(s.size()));
}

double RandomDouble(Rng& r) {
    static const double kEdges[] = {0.0,
                                    -0.0,
                                    1.5,
                                    -2.5,
                                    0.1,
                                    1e308,
                                    -1e308,
                                    4.9e-324,
                                    1e-300,
                                    123456789012345678.0,
                                    std::numeric_limits<double>::infinity(),
                                    -std::numeric_limits<double>::infinity(),
                                    std::numeric_limits<double>::quiet_NaN()};
    if (r.OneIn(2)) return Pick(r, kEdges);
    const double mantissa = r.Unit() * 2 - 1;
    return std::ldexp(mantissa, static_cast<int>(r.Between(-60, 60)));
}

void RandomSafeArray(Rng& r, VARIANT& v) {
    static const VARTYPE kElements[] = {VT_I4, VT_UI1, VT_BSTR, VT_VARIANT, VT_R8};
    const VARTYPE element = Pick(r, kElements);
    V_VT(&v) = static_cast<VARTYPE>(VT_ARRAY | element);
    if (r.OneIn(10)) {
        V_ARRAY(&v) = nullptr;
        return;
    }
    const auto n = static_cast<ULONG>(r.Below(5));
    SAFEARRAY* array = SafeArrayCreateVector(element, 0, n);
    V_ARRAY(&v) = array;
    for (LONG i = 0; i < static_cast<LONG>(n); ++i) {
        switch (element) {
        case VT_I4: {
            LONG x = static_cast<LONG>(r.Next());
            SafeArrayPutElement(array, &i, &x);
            break;
        }
        case VT_UI1: {
            // A byte array converts to a string of those bytes, two to a character.
            BYTE x = static_cast<BYTE>(r.Between(0x30, 0x39));
            SafeArrayPutElement(array, &i, &x);
            break;
        }
        case VT_BSTR: {
            BSTR x = SysAllocString(L"12");
            SafeArrayPutElement(array, &i, x);
            SysFreeString(x);
            break;
        }
        case VT_VARIANT: {
            VARIANT x;
            VariantInit(&x);
            V_VT(&x) = VT_I4;
            V_I4(&x) = static_cast<LONG>(r.Below(100));
            SafeArrayPutElement(array, &i, &x);
            break;
        }
        default: {
            double x = RandomDouble(r);
            SafeArrayPutElement(array, &i, &x);
            break;
        }
        }
    }
}

// A plain (not by-reference) value into v, which starts zeroed.
void RandomPlainValue(Rng& r, Role role, Transport transport, VARIANT& v, int depth);

IDispatch* RandomValueObject(Rng& r, Transport transport, int depth) {
    static const HRESULT kFailures[] = {E_FAIL, DISP_E_MEMBERNOTFOUND, DISP_E_EXCEPTION, E_NOTIMPL,
                                        DISP_E_TYPEMISMATCH};
    if (r.OneIn(3)) return ValueObject::Failing(Pick(r, kFailures));
    if (depth == 0 && r.OneIn(12)) return ValueObject::Itself();
    VARIANT value;
    std::memset(&value, 0, sizeof value);
    if (depth > 0) {
        V_VT(&value) = VT_I4;
        V_I4(&value) = 7;
    } else {
        RandomPlainValue(r, Role::Other, transport, value, depth + 1);
    }
    ValueObject* object = ValueObject::Answering(value);
    VariantClear(&value);
    if (r.OneIn(4)) object->CallBackFirst();
    return object;
}

void RandomPlainValue(Rng& r, Role role, Transport transport, VARIANT& v, int depth) {
    const std::uint32_t kind = r.Below(100);
    if (kind < (role == Role::Other ? 25u : 55u)) {
        V_VT(&v) = VT_BSTR;
        V_BSTR(&v) = RandomBstr(r, role);
        return;
    }
    switch (r.Below(20)) {
    case 0:
        V_VT(&v) = VT_EMPTY;
        return;
    case 1:
        V_VT(&v) = VT_NULL;
        return;
    case 2: {
        static const VARTYPE kInts[] = {VT_I1, VT_UI1, VT_I2, VT_UI2, VT_I4, VT_UI4, VT_INT, VT_UINT};
        V_VT(&v) = Pick(r, kInts);
        V_UI4(&v) = r.OneIn(3) ? static_cast<ULONG>(r.Below(1000)) : static_cast<ULONG>(r.Next());
        return;
    }
    case 3: {
        V_VT(&v) = r.OneIn(2) ? VT_I8 : VT_UI8;
        static const LONGLONG kEdges[] = {0, -1, LLONG_MIN, LLONG_MAX, 4711, 1234567890123LL};
        V_I8(&v) = r.OneIn(2) ? Pick(r, kEdges) : static_cast<LONGLONG>(r.Next());
        return;
    }
    case 4:
        V_VT(&v) = VT_R8;
        V_R8(&v) = RandomDouble(r);
        return;
    case 5:
        V_VT(&v) = VT_R4;
        V_R4(&v) = static_cast<float>(RandomDouble(r));
        return;
    case 6:
        V_VT(&v) = VT_CY;
        V_CY(&v).int64 = r.OneIn(2) ? static_cast<LONGLONG>(r.Between(-100000000, 100000000))
                                    : static_cast<LONGLONG>(r.Next());
        return;
    case 7: {
        V_VT(&v) = VT_DATE;
        // Inside the range a date can have, at its edges, and beyond it.
        static const double kEdges[] = {0.0, -657434.0, 2958465.0, -657435.0, 2958466.0, 1e10, 36526.75};
        V_DATE(&v) = r.OneIn(3) ? Pick(r, kEdges)
                     : r.OneIn(6) ? RandomDouble(r)
                                  : static_cast<double>(r.Between(-657434, 2958465)) + r.Unit();
        return;
    }
    case 8: {
        V_VT(&v) = VT_BOOL;
        static const VARIANT_BOOL kBools[] = {VARIANT_TRUE, VARIANT_FALSE, 5, -2};
        V_BOOL(&v) = Pick(r, kBools);
        return;
    }
    case 9:
        V_VT(&v) = VT_ERROR;
        V_ERROR(&v) = r.OneIn(2) ? DISP_E_PARAMNOTFOUND : static_cast<SCODE>(r.Next());
        return;
    case 10: {
        DECIMAL d{};
        d.scale = r.OneIn(8) ? static_cast<BYTE>(r.Between(29, 255)) : static_cast<BYTE>(r.Below(29));
        d.sign = r.OneIn(8) ? static_cast<BYTE>(r.Next()) : (r.OneIn(2) ? DECIMAL_NEG : 0);
        d.Hi32 = r.OneIn(2) ? 0 : static_cast<ULONG>(r.Next());
        d.Lo64 = r.OneIn(2) ? r.Below(100000) : r.Next();
        V_DECIMAL(&v) = d;
        V_VT(&v) = VT_DECIMAL;  // after: the decimal's first bytes share the VARTYPE's place
        return;
    }
    case 11:
    case 12:
        V_VT(&v) = VT_DISPATCH;
        V_DISPATCH(&v) = r.OneIn(5) ? nullptr : RandomValueObject(r, transport, depth);
        return;
    case 13: {
        V_VT(&v) = VT_UNKNOWN;
        const std::uint32_t which = r.Below(3);
        if (which == 0) V_UNKNOWN(&v) = nullptr;
        else if (which == 1) V_UNKNOWN(&v) = new PlainObject;
        else V_UNKNOWN(&v) = RandomValueObject(r, transport, depth);
        return;
    }
    case 14:
    case 15:
        RandomSafeArray(r, v);
        return;
    default:
        V_VT(&v) = VT_BSTR;
        V_BSTR(&v) = RandomBstr(r, role);
        return;
    }
}

// VARTYPEs that are no value a VARIANT may hold; only a call in this process can carry them.
const VARTYPE kBadVarTypes[] = {VT_VOID, VT_HRESULT, VT_PTR,   VT_SAFEARRAY,          VT_CARRAY,
                                VT_USERDEFINED, 0x0F,  0x7FF,    VT_VARIANT,            VT_VECTOR | VT_I4,
                                VT_RESERVED | VT_I4, VT_BYREF | VT_EMPTY, VT_BYREF | VT_NULL, VT_ARRAY | VT_EMPTY};

void RandomArg(Rng& r, Role role, Transport transport, FuzzArg& arg) {
    if (transport == Transport::InProcess && r.OneIn(60)) {
        V_VT(&arg.value) = Pick(r, kBadVarTypes);
        return;
    }
    if (!r.OneIn(7)) {
        RandomPlainValue(r, role, transport, arg.value, 0);
        return;
    }
    // By reference: the value points into the argument's own target.
    RandomPlainValue(r, role, transport, arg.target, 0);
    const VARTYPE vt = V_VT(&arg.target);
    if (vt == VT_DECIMAL && r.OneIn(2)) {
        arg.decimal = V_DECIMAL(&arg.target);
        V_VT(&arg.value) = VT_BYREF | VT_DECIMAL;
        V_DECIMALREF(&arg.value) = &arg.decimal;
    } else if (vt == VT_EMPTY || vt == VT_NULL || vt == VT_DECIMAL || r.OneIn(3)) {
        V_VT(&arg.value) = VT_BYREF | VT_VARIANT;
        V_VARIANTREF(&arg.value) = &arg.target;
    } else {
        V_VT(&arg.value) = static_cast<VARTYPE>(VT_BYREF | vt);
        // Every member of the union starts at the same place.
        V_BYREF(&arg.value) = &V_UI1(&arg.target);
    }
    if (transport == Transport::InProcess && r.OneIn(15)) V_BYREF(&arg.value) = nullptr;
}

}  // namespace

FuzzCall MakeCall(std::uint64_t runSeed, std::uint64_t index, Transport transport) {
    Rng r(CallSeed(runSeed, index));
    const bool inProcess = transport == Transport::InProcess;
    FuzzCall call;
    if (r.OneIn(25)) call.iid = Pick(r, kOtherIids);

    if (r.OneIn(6)) {
        call.kind = FuzzCall::Kind::GetIDsOfNames;
        size_t count = r.OneIn(30) ? 0 : r.OneIn(3) ? static_cast<size_t>(r.Between(2, 4)) : 1;
        if (r.OneIn(100)) count = 20;
        static const wchar_t* const kArgNames[] = {L"text", L"key", L"CodeWithKey", L"", L"About"};
        for (size_t i = 0; i < count; ++i) {
            call.names.push_back(i == 0 ? MemberName(r) : std::wstring(Pick(r, kArgNames)));
            call.nullName.push_back(inProcess && r.OneIn(40));
        }
        if (inProcess) {
            call.nullNames = r.OneIn(60);
            call.nullIds = r.OneIn(60);
        }
        return call;
    }

    const std::uint32_t member = r.Below(100);
    if (member < 70) {
        call.id = member < 35 ? 1 : 2;
    } else if (member < 78) {
        call.id = 3;
    } else {
        static const DISPID kOthers[] = {0, 4, 5, DISPID_UNKNOWN, DISPID_PROPERTYPUT, DISPID_NEWENUM, INT_MIN,
                                         INT_MAX};
        call.id = r.OneIn(4) ? static_cast<DISPID>(r.Next()) : Pick(r, kOthers);
    }

    const std::uint32_t kind = r.Below(100);
    if (kind < 50) call.flags = DISPATCH_METHOD;
    else if (kind < 65) call.flags = DISPATCH_METHOD | DISPATCH_PROPERTYGET;
    else if (kind < 80) call.flags = DISPATCH_PROPERTYGET;
    else if (kind < 85) call.flags = DISPATCH_PROPERTYPUT;
    else if (kind < 88) call.flags = DISPATCH_PROPERTYPUTREF;
    else if (kind < 90) call.flags = DISPATCH_PROPERTYPUT | DISPATCH_METHOD;
    else if (kind < 93) call.flags = 0;
    else call.flags = static_cast<WORD>(r.Next());

    size_t count = 2;
    if (r.OneIn(4)) count = r.Below(5);
    for (size_t i = 0; i < count; ++i) {
        call.args.push_back(std::make_unique<FuzzArg>());
        RandomArg(r, i == 0 ? Role::Text : i == 1 ? Role::Key : Role::Other, transport, *call.args.back());
    }

    if (r.OneIn(8)) {
        const bool put = (call.flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
        size_t n = put && r.OneIn(2) ? 1 : static_cast<size_t>(r.Between(1, 3));
        // Through a proxy the names go with their arguments: never more names than those.
        if (!inProcess || !r.OneIn(10)) n = std::min(n, count);
        for (size_t i = 0; i < n; ++i) {
            static const DISPID kNames[] = {DISPID_PROPERTYPUT, DISPID_PROPERTYPUT, 0, 1, DISPID_UNKNOWN};
            call.named.push_back(r.OneIn(6) ? static_cast<DISPID>(r.Next()) : Pick(r, kNames));
        }
    }

    call.resultPlace = !r.OneIn(10);
    call.excepInfoPlace = !r.OneIn(12);
    call.argErrPlace = !r.OneIn(12);
    if (inProcess) {
        call.nullParams = r.OneIn(200);
        call.nullRgvarg = count > 0 && r.OneIn(200);
    }

    // About as a valid method call would open its modal box: give it an argument too many.
    const bool put = (call.flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
    if (call.id == 3 && IsEqualIID(call.iid, IID_NULL) && !call.nullParams && call.named.empty() && !put &&
        (call.flags & DISPATCH_METHOD) && call.args.empty()) {
        call.args.push_back(std::make_unique<FuzzArg>());
        V_VT(&call.args.back()->value) = VT_I4;
    }
    return call;
}

}  // namespace travok::fuzz
