// Round trips through the automation object, judged without the program's conversions:
// bytes come from a per-byte table of the code page, coding from its definition.
#include "RoundTrip.h"

#include "FuzzOracle.h"

namespace travok::fuzz {

unsigned char ByteOf(wchar_t c) {
    if (c == 0) return 0;
    const size_t at = CodePageTable().find(c);
    return at == std::wstring::npos ? static_cast<unsigned char>('?') : static_cast<unsigned char>(at + 1);
}

namespace {

std::wstring FromBytes(const std::string& bytes) {
    std::wstring wide;
    for (char b : bytes) wide += b ? CodePageTable()[static_cast<unsigned char>(b) - 1] : L'\0';
    return wide;
}

std::string ToBytes(const std::wstring& wide) {
    std::string bytes;
    for (wchar_t c : wide) bytes += static_cast<char>(ByteOf(c));
    return bytes;
}

// Surrogates too: each half of a pair is a character the code page lacks.
wchar_t OutsideCodePage(Rng& r) {
    for (;;) {
        const auto c = static_cast<wchar_t>(r.Between(0x100, 0xFFFF));
        if (CodePageTable().find(c) == std::wstring::npos) return c;
    }
}

std::wstring CallCoder(IDispatch* object, DISPID id, const std::wstring& text, const std::wstring& key,
                       std::string& error) {
    VARIANT args[2];
    V_VT(&args[1]) = VT_BSTR;
    V_BSTR(&args[1]) = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    V_VT(&args[0]) = VT_BSTR;
    V_BSTR(&args[0]) = SysAllocStringLen(key.data(), static_cast<UINT>(key.size()));
    DISPPARAMS params{args, nullptr, 2, 0};
    VARIANT result;
    VariantInit(&result);
    const HRESULT hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, &result, nullptr, nullptr);
    VariantClear(&args[0]);
    VariantClear(&args[1]);
    std::wstring answer;
    if (hr != S_OK) error = (id == 1 ? "CodeWithKey answered " : "DeCodeWithKey answered ") + HresultName(hr);
    else if (V_VT(&result) != VT_BSTR) error = "a result that is no string";
    else if (V_BSTR(&result)) answer.assign(V_BSTR(&result), SysStringLen(V_BSTR(&result)));
    VariantClear(&result);
    return answer;
}

std::string Mismatch(const char* what, const std::wstring& want, const std::wstring& got) {
    size_t i = 0;
    while (i < want.size() && i < got.size() && want[i] == got[i]) ++i;
    return std::string(what) + ": " + std::to_string(got.size()) + " characters, want " + std::to_string(want.size()) +
           "; first difference at " + std::to_string(i) + ": \"" +
           Printable(std::wstring_view(got).substr(std::min(i, got.size())), 12) + "\" for \"" +
           Printable(std::wstring_view(want).substr(std::min(i, want.size())), 12) + "\"";
}

}  // namespace

RoundTripCase MakeRoundTrip(std::uint64_t seed, std::uint64_t index) {
    Rng r(CallSeed(seed, index));
    const std::wstring& table = CodePageTable();
    RoundTripCase c;
    const size_t n = r.OneIn(20) ? static_cast<size_t>(r.Between(1000, 30000)) : static_cast<size_t>(r.Between(1, 300));
    for (size_t i = 0; i < n; ++i) {
        const std::uint32_t what = r.Below(100);
        if (what < 88) c.text += table[r.Below(255)];
        else if (what < 96) c.text += OutsideCodePage(r);
        else if (what < 97) c.text += {static_cast<wchar_t>(r.Between(0xD800, 0xDBFF)), static_cast<wchar_t>(r.Between(0xDC00, 0xDFFF))};
        else c.text += L'\0';
    }
    const size_t m = static_cast<size_t>(r.Between(1, 300));
    const bool digitsOnly = !r.OneIn(4);
    for (size_t i = 0; i < m; ++i) {
        if (digitsOnly || r.OneIn(2)) c.key += static_cast<wchar_t>(L'0' + r.Below(10));
        else c.key += r.OneIn(5) ? OutsideCodePage(r) : table[r.Below(255)];
    }
    const std::string textBytes = ToBytes(c.text);
    const std::string keyBytes = ToBytes(c.key);
    c.coded = FromBytes(CodeByDefinition(true, textBytes, keyBytes));
    c.plain = FromBytes(textBytes);
    return c;
}

std::string CheckRoundTrip(IDispatch* object, const RoundTripCase& c) {
    std::string error;
    const std::wstring coded = CallCoder(object, 1, c.text, c.key, error);
    if (!error.empty()) return error;
    if (coded != c.coded) return Mismatch("CodeWithKey", c.coded, coded);
    const std::wstring plain = CallCoder(object, 2, coded, c.key, error);
    if (!error.empty()) return error;
    if (plain != c.plain) return Mismatch("DeCodeWithKey", c.plain, plain);
    return {};
}

}  // namespace travok::fuzz
