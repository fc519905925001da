// The fuzz calls: the seeded generator, the arguments' storage, and the text that
// tells how to make a call again.
#include "FuzzCall.h"

#include <cstdio>
#include <cstring>

#include "ArgObjects.h"

namespace travok::fuzz {

std::uint64_t Rng::Next() {
    std::uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

std::uint64_t CallSeed(std::uint64_t runSeed, std::uint64_t index) {
    Rng mix(runSeed ^ (index * 0xD1B54A32D192ED03ull));
    mix.Next();
    return mix.Next();
}

const std::wstring& CodePageTable() {
    static const std::wstring table = [] {
        std::wstring chars;
        for (int b = 1; b < 256; ++b) {
            const char byte = static_cast<char>(b);
            wchar_t wide = 0;
            MultiByteToWideChar(CP_ACP, 0, &byte, 1, &wide, 1);
            chars += wide;
        }
        return chars;
    }();
    return table;
}

std::string HresultName(HRESULT hr) {
    struct Name {
        HRESULT hr;
        const char* name;
    };
    static const Name kNames[] = {
        {S_OK, "S_OK"},
        {E_POINTER, "E_POINTER"},
        {E_INVALIDARG, "E_INVALIDARG"},
        {E_OUTOFMEMORY, "E_OUTOFMEMORY"},
        {E_FAIL, "E_FAIL"},
        {E_NOTIMPL, "E_NOTIMPL"},
        {E_UNEXPECTED, "E_UNEXPECTED"},
        {DISP_E_UNKNOWNINTERFACE, "DISP_E_UNKNOWNINTERFACE"},
        {DISP_E_MEMBERNOTFOUND, "DISP_E_MEMBERNOTFOUND"},
        {DISP_E_PARAMNOTFOUND, "DISP_E_PARAMNOTFOUND"},
        {DISP_E_TYPEMISMATCH, "DISP_E_TYPEMISMATCH"},
        {DISP_E_UNKNOWNNAME, "DISP_E_UNKNOWNNAME"},
        {DISP_E_NONAMEDARGS, "DISP_E_NONAMEDARGS"},
        {DISP_E_BADVARTYPE, "DISP_E_BADVARTYPE"},
        {DISP_E_EXCEPTION, "DISP_E_EXCEPTION"},
        {DISP_E_OVERFLOW, "DISP_E_OVERFLOW"},
        {DISP_E_BADPARAMCOUNT, "DISP_E_BADPARAMCOUNT"},
        {DISP_E_PARAMNOTOPTIONAL, "DISP_E_PARAMNOTOPTIONAL"},
        {RPC_E_SERVERFAULT, "RPC_E_SERVERFAULT"},
        {RPC_E_DISCONNECTED, "RPC_E_DISCONNECTED"},
        {HRESULT_FROM_WIN32(RPC_S_SERVER_UNAVAILABLE), "RPC_S_SERVER_UNAVAILABLE"},
    };
    for (const Name& n : kNames)
        if (n.hr == hr) return n.name;
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(hr));
    return text;
}

std::string Printable(std::wstring_view text, size_t limit) {
    std::string out;
    for (size_t i = 0; i < text.size() && i < limit; ++i) {
        const wchar_t c = text[i];
        if (c >= 0x20 && c < 0x7F && c != L'\\' && c != L'"') {
            out += static_cast<char>(c);
        } else {
            char escape[12];
            std::snprintf(escape, sizeof escape, "\\u%04X", static_cast<unsigned>(c));
            out += escape;
        }
    }
    if (text.size() > limit) out += "...";
    return out;
}

std::string DescribeVariant(const VARIANT& v, const VARIANT* target) {
    char text[160];
    const VARTYPE vt = V_VT(&v);
    if (vt & VT_BYREF) {
        if (!V_BYREF(&v)) {
            std::snprintf(text, sizeof text, "byref vt 0x%X to null", vt);
            return text;
        }
        std::snprintf(text, sizeof text, "byref vt 0x%X to ", vt);
        return text + (target ? DescribeVariant(*target, nullptr) : std::string("?"));
    }
    switch (vt) {
    case VT_BSTR: {
        BSTR s = V_BSTR(&v);
        if (!s) return "BSTR null";
        std::snprintf(text, sizeof text, "BSTR of %u bytes \"", SysStringByteLen(s));
        return text + Printable({s, SysStringLen(s)}) + "\"";
    }
    case VT_DISPATCH:  // every object among the arguments is one of ours
        return V_DISPATCH(&v) ? "IDispatch, " + static_cast<ValueObject*>(V_DISPATCH(&v))->Describe()
                              : "IDispatch null";
    case VT_UNKNOWN:
        return V_UNKNOWN(&v) ? "IUnknown object" : "IUnknown null";
    case VT_R8:
        std::snprintf(text, sizeof text, "R8 %.17g", V_R8(&v));
        return text;
    case VT_R4:
        std::snprintf(text, sizeof text, "R4 %.9g", static_cast<double>(V_R4(&v)));
        return text;
    case VT_DATE:
        std::snprintf(text, sizeof text, "DATE %.17g", V_DATE(&v));
        return text;
    case VT_DECIMAL: {
        const DECIMAL& d = V_DECIMAL(&v);
        std::snprintf(text, sizeof text, "DECIMAL scale %u sign 0x%X hi 0x%lX lo 0x%llX", d.scale, d.sign,
                      static_cast<unsigned long>(d.Hi32), static_cast<unsigned long long>(d.Lo64));
        return text;
    }
    default:
        break;
    }
    if (vt & VT_ARRAY) {
        SAFEARRAY* array = V_ARRAY(&v);
        std::snprintf(text, sizeof text, "array vt 0x%X of %ld", vt,
                      array ? static_cast<long>(array->rgsabound[0].cElements) : -1L);
        return text;
    }
    unsigned long long bits = 0;
    std::memcpy(&bits, &V_UI8(&v), sizeof bits);
    std::snprintf(text, sizeof text, "vt 0x%X data 0x%llX", vt, bits);
    return text;
}

FuzzArg::FuzzArg() {
    std::memset(&value, 0, sizeof value);
    std::memset(&target, 0, sizeof target);
    std::memset(&decimal, 0, sizeof decimal);
}

FuzzArg::~FuzzArg() {
    // A by-reference value owns nothing; a VARTYPE that does not exist holds no data.
    if (!(V_VT(&value) & VT_BYREF)) VariantClear(&value);
    VariantClear(&target);
}

std::string FuzzArg::Describe() const { return DescribeVariant(value, &target); }

std::string FuzzCall::Describe() const {
    char text[160];
    std::string out;
    const bool nullIid = IsEqualIID(iid, IID_NULL) != 0;
    if (kind == Kind::GetIDsOfNames) {
        out = "GetIDsOfNames(";
        out += nullIid ? "IID_NULL" : "a non-null IID";
        std::snprintf(text, sizeof text, ", %zu names%s%s: ", names.size(), nullNames ? ", names null" : "",
                      nullIds ? ", ids null" : "");
        out += text;
        for (size_t i = 0; i < names.size(); ++i) {
            if (i) out += ", ";
            if (nullName[i]) out += "null";
            else out.append(1, '"').append(Printable(names[i], 80)).append(1, '"');
        }
        return out + ")";
    }
    std::snprintf(text, sizeof text, "Invoke(DISPID %ld, %s, flags 0x%X, %zu args, %zu named", static_cast<long>(id),
                  nullIid ? "IID_NULL" : "a non-null IID", flags, args.size(), named.size());
    out = text;
    for (DISPID n : named) out.append(1, ' ').append(std::to_string(n));
    if (!resultPlace) out += ", no result place";
    if (!excepInfoPlace) out += ", no EXCEPINFO";
    if (!argErrPlace) out += ", no argErr";
    if (nullParams) out += ", DISPPARAMS null";
    if (nullRgvarg) out += ", rgvarg null";
    out += ")";
    for (size_t i = 0; i < args.size(); ++i) out += "\n    arg " + std::to_string(i) + ": " + args[i]->Describe();
    return out;
}

}  // namespace travok::fuzz
