// Travok.Application through IDispatch from a C++ client, out of process, for what
// scripts cannot send: named arguments, property put, odd argument counts and types,
// foreign interface ids. One server object serves every case of a test.
#include <gtest/gtest.h>

#include "ComClient.h"

using namespace travok::test;

namespace {

using DispatchClient = ClientStartedServer;

const std::wstring kOmega = L"\x03A9";

struct ErrorCase {
    const char* what;
    InvokeRequest request;
    HRESULT hr;
    UINT argErr = InvokeOutcome::kArgErrUntouched;
};

TEST_F(DispatchClient, RefusesEveryMalformedCallWithItsOwnError) {
    const IID iidDispatch = IID_IDispatch;
    const Variant text(L"abc"), key(L"12");
    const ErrorCase cases[] = {
        {"an interface id other than null", {1, DISPATCH_METHOD, {text, key}, {}, true, &iidDispatch},
         DISP_E_UNKNOWNINTERFACE},
        {"the key passed by name", {1, DISPATCH_METHOD, {text, key}, {1}}, DISP_E_NONAMEDARGS},
        {"both arguments passed by name", {1, DISPATCH_METHOD, {text, key}, {1, 0}}, DISP_E_NONAMEDARGS},
        {"the property-put name on a method call", {1, DISPATCH_METHOD, {text, key}, {DISPID_PROPERTYPUT}},
         DISP_E_NONAMEDARGS},
        {"DISPID 0", {0, DISPATCH_METHOD, {text, key}}, DISP_E_MEMBERNOTFOUND},
        {"DISPID 4, past the table", {4, DISPATCH_METHOD, {}}, DISP_E_MEMBERNOTFOUND},
        {"the unknown DISPID", {DISPID_UNKNOWN, DISPATCH_METHOD, {text, key}}, DISP_E_MEMBERNOTFOUND},
        {"property put on CodeWithKey", {1, DISPATCH_PROPERTYPUT, {text}, {DISPID_PROPERTYPUT}}, DISP_E_TYPEMISMATCH},
        {"property put by reference on DeCodeWithKey", {2, DISPATCH_PROPERTYPUTREF, {text}, {DISPID_PROPERTYPUT}},
         DISP_E_TYPEMISMATCH},
        {"property put on About", {3, DISPATCH_PROPERTYPUT, {text}, {DISPID_PROPERTYPUT}}, DISP_E_TYPEMISMATCH},
        {"About read as a property", {3, DISPATCH_PROPERTYGET, {}}, DISP_E_BADPARAMCOUNT},
        {"About with an argument", {3, DISPATCH_METHOD, {text}}, DISP_E_BADPARAMCOUNT},
        {"CodeWithKey without arguments", {1, DISPATCH_METHOD, {}}, DISP_E_PARAMNOTOPTIONAL},
        {"CodeWithKey with only a text", {1, DISPATCH_METHOD, {text}}, DISP_E_PARAMNOTOPTIONAL},
        {"DeCodeWithKey with three arguments", {2, DISPATCH_METHOD, {text, key, key}}, DISP_E_BADPARAMCOUNT},
        {"Null as the text", {1, DISPATCH_METHOD, {Variant::Null(), key}}, DISP_E_TYPEMISMATCH, 1},
        {"Null as the key", {1, DISPATCH_METHOD, {text, Variant::Null()}}, DISP_E_TYPEMISMATCH, 0},
        {"an array as the key", {2, DISPATCH_METHOD, {text, Variant::IntArray()}}, DISP_E_TYPEMISMATCH, 0},
        {"both unconvertible: the text is reported", {1, DISPATCH_METHOD, {Variant::IntArray(), Variant::Null()}},
         DISP_E_TYPEMISMATCH, 1},
    };
    for (const ErrorCase& c : cases) {
        SCOPED_TRACE(c.what);
        InvokeOutcome outcome;
        Invoke(object.Get(), c.request, outcome);
        EXPECT_EQ(outcome.hr, c.hr);
        if (c.argErr != InvokeOutcome::kArgErrUntouched) {
            EXPECT_EQ(outcome.argErr, c.argErr);
        }
        EXPECT_NE(V_VT(&outcome.result.v), VT_BSTR);
    }
    // None of it disturbed the server.
    EXPECT_EQ(Code(object.Get(), 1, L"abc", L"12"), L"bdd");
}

struct CodeCase {
    const char* what;
    DISPID id;
    WORD flags;
    Variant text;
    Variant key;
    std::wstring result;
};

TEST_F(DispatchClient, CodesWhateverConvertsToAString) {
    const CodeCase cases[] = {
        {"a method call", 1, DISPATCH_METHOD, Variant(L"Hello"), Variant(L"123"), L"Igomq"},
        {"read as a property", 1, DISPATCH_PROPERTYGET, Variant(L"Hello"), Variant(L"123"), L"Igomq"},
        {"method or property, as VBScript asks", 2, DISPATCH_METHOD | DISPATCH_PROPERTYGET, Variant(L"Igomq"),
         Variant(L"123"), L"Hello"},
        {"a number as the key is its decimal text", 1, DISPATCH_METHOD, Variant(L"abcd"), Variant::Int(123),
         L"bdfe"},
        {"a number as the text", 1, DISPATCH_METHOD, Variant::Int(42), Variant(L"1"), L"53"},
        {"a fraction as the key", 1, DISPATCH_METHOD, Variant(L"aaa"), Variant::Double(1.5), L"b_f"},
        {"an empty text gives an empty result", 1, DISPATCH_METHOD, Variant(L""), Variant(L"5"), L""},
        {"an empty text with an empty key", 2, DISPATCH_METHOD, Variant(L""), Variant(L""), L""},
        {"a null string counts as empty", 1, DISPATCH_METHOD, Variant::NullBstr(), Variant::NullBstr(), L""},
        {"Empty counts as an empty text", 1, DISPATCH_METHOD, Variant(), Variant(L"7"), L""},
        {"an embedded zero is carried", 1, DISPATCH_METHOD, Variant(std::wstring(L"a\0b", 3)), Variant(L"1"),
         std::wstring(L"b\x01" L"c", 3)},
        {"a character coded to zero stays", 1, DISPATCH_METHOD, Variant(L"\x00FF" L"A"), Variant(L"1"),
         std::wstring(L"\0B", 2)},
        {"a zero decodes back", 2, DISPATCH_METHOD, Variant(std::wstring(L"\0B", 2)), Variant(L"1"), L"\x00FF" L"A"},
        {"a character outside the code page becomes '?'", 1, DISPATCH_METHOD, Variant(kOmega + L"\x4E00"),
         Variant(L"12"), L"@A"},
        {"bytes wrap past 255 both ways", 2, DISPATCH_METHOD, Variant(L"\x0001"), Variant(L"2"), L"\x00FF"},
        {"a key longer than the text", 1, DISPATCH_METHOD, Variant(L"ab"), Variant(L"9999999"), L"jk"},
    };
    for (const CodeCase& c : cases) {
        SCOPED_TRACE(c.what);
        InvokeOutcome outcome;
        Invoke(object.Get(), {c.id, c.flags, {c.text, c.key}}, outcome);
        ASSERT_EQ(outcome.hr, S_OK);
        ASSERT_EQ(V_VT(&outcome.result.v), VT_BSTR);
        EXPECT_EQ(outcome.result.Text(), c.result);
    }
}

TEST_F(DispatchClient, ACallWithoutAResultPlaceStillRuns) {
    InvokeOutcome outcome;
    Invoke(object.Get(), {1, DISPATCH_METHOD, {Variant(L"abc"), Variant(L"1")}, {}, false}, outcome);
    EXPECT_EQ(outcome.hr, S_OK);
}

TEST_F(DispatchClient, RoundTripGivesEveryByteBack) {
    std::string bytes;
    for (int i = 1; i < 256; ++i) bytes += static_cast<char>(i);
    const std::wstring text = ToWide(bytes);
    for (const wchar_t* key : {L"0", L"7", L"123", L"98765432109876543210", L"A~/"}) {
        SCOPED_TRACE(ToAnsi(key));
        const std::wstring coded = Code(object.Get(), 1, text, key);
        EXPECT_EQ(coded.size(), text.size());
        EXPECT_EQ(Code(object.Get(), 2, coded, key), text);
    }
}

TEST_F(DispatchClient, EmptyKeyFailsWithItsMessageAndTheServerGoesOn) {
    for (DISPID id : {1, 2}) {
        SCOPED_TRACE(id);
        InvokeOutcome outcome;
        Invoke(object.Get(), {id, DISPATCH_METHOD, {Variant(L"abc"), Variant(L"")}}, outcome);
        ASSERT_EQ(outcome.hr, DISP_E_EXCEPTION);
        EXPECT_EQ(outcome.excepInfo.scode, E_INVALIDARG);
        EXPECT_EQ(outcome.excepInfo.wCode, 0);
        ASSERT_TRUE(outcome.excepInfo.bstrSource);
        EXPECT_EQ(std::wstring(outcome.excepInfo.bstrSource), L"Travok.Application");
        ASSERT_TRUE(outcome.excepInfo.bstrDescription);
        EXPECT_EQ(std::wstring(outcome.excepInfo.bstrDescription), L"There has to be a key number!");
        EXPECT_EQ(Code(object.Get(), id, L"bcd", L"1"), id == 1 ? L"cde" : L"abc");
    }
}

struct NameCase {
    const char* what;
    std::vector<std::wstring> names;
    HRESULT hr;
    std::vector<DISPID> ids;
};

TEST_F(DispatchClient, FindsMembersByNameInAnyCase) {
    const NameCase cases[] = {
        {"CodeWithKey", {L"CodeWithKey"}, S_OK, {1}},
        {"small letters", {L"codewithkey"}, S_OK, {1}},
        {"capitals", {L"CODEWITHKEY"}, S_OK, {1}},
        {"DeCodeWithKey", {L"deCODEwithKEY"}, S_OK, {2}},
        {"About", {L"about"}, S_OK, {3}},
        {"argument names get the unknown DISPID", {L"CodeWithKey", L"text", L"key"}, S_OK, {1, -1, -1}},
        {"an unknown member", {L"Frobnicate"}, DISP_E_UNKNOWNNAME, {DISPID_UNKNOWN}},
        {"a prefix of a member", {L"Code"}, DISP_E_UNKNOWNNAME, {DISPID_UNKNOWN}},
        {"a member with more letters", {L"AboutBox"}, DISP_E_UNKNOWNNAME, {DISPID_UNKNOWN}},
    };
    for (const NameCase& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<LPOLESTR> names;
        for (const std::wstring& name : c.names) names.push_back(const_cast<LPOLESTR>(name.c_str()));
        std::vector<DISPID> ids(names.size(), 12345);
        EXPECT_EQ(object->GetIDsOfNames(IID_NULL, names.data(), static_cast<UINT>(names.size()), LOCALE_USER_DEFAULT,
                                        ids.data()),
                  c.hr);
        EXPECT_EQ(ids, c.ids);
    }
    LPOLESTR name = const_cast<LPOLESTR>(L"CodeWithKey");
    DISPID id = 0;
    EXPECT_EQ(object->GetIDsOfNames(IID_IDispatch, &name, 1, LOCALE_USER_DEFAULT, &id), DISP_E_UNKNOWNINTERFACE);
}

TEST_F(DispatchClient, HasNoTypeInformation) {
    UINT count = 99;
    EXPECT_EQ(object->GetTypeInfoCount(&count), S_OK);
    EXPECT_EQ(count, 0u);
    ComPtr<ITypeInfo> info;
    EXPECT_EQ(object->GetTypeInfo(0, LOCALE_USER_DEFAULT, info.Put()), E_NOTIMPL);
    EXPECT_FALSE(info);
    EXPECT_EQ(object->GetTypeInfo(1, LOCALE_USER_DEFAULT, info.Put()), E_INVALIDARG);
    EXPECT_FALSE(info);
}

TEST_F(DispatchClient, OffersIUnknownAndIDispatchOnly) {
    ComPtr<IUnknown> unknown;
    EXPECT_EQ(object->QueryInterface(IID_IUnknown, unknown.PutVoid()), S_OK);
    ComPtr<IDispatch> dispatch;
    EXPECT_EQ(object->QueryInterface(IID_IDispatch, dispatch.PutVoid()), S_OK);
    ComPtr<IUnknown> other;
    for (const IID* iid : {&IID_IPersist, &IID_IClassFactory, &IID_IOleObject}) {
        EXPECT_EQ(object->QueryInterface(*iid, other.PutVoid()), E_NOINTERFACE);
        EXPECT_FALSE(other);
    }
}

}  // namespace
