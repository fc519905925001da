// The real page and the real server under the code page of this run's locale: a coded
// text loses no byte in the boxes, through the clipboard, through automation or through
// a file, and a plain character the code page lacks is told, not coded as '?' in silence.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "ComClient.h"
#include "PageTest.h"
#include "ReferenceCoder.h"
#include "Utf8Program.h"
#include "res/resource.h"

using namespace travok::test;

namespace {

// The code pages this test runs under (one ctest entry each, tests/codepages/CMakeLists.txt),
// and how a coded text must read there: the single-byte ones exactly as before, through
// the code page; the others through code page 1252's table, the fixed map. UTF-8 (65001)
// comes from a manifest, not a locale: Utf8CodePage below runs a copy of Travok.exe with
// one, in an entry of its own.
struct CodePageRow {
    UINT codePage;
    bool fixedMap;
};
constexpr CodePageRow kRows[] = {
    {1252, false}, {1250, false}, {932, true}, {936, true}, {949, true},
};

const std::string kNotInCodePage =
    "The text holds characters that the Windows code page lacks, and each of them was coded as '?'. Code it "
    "from a file to keep every byte.";

// The row this run's locale asked for (TRAVOK_CODE_PAGE), or nothing.
const CodePageRow* ThisRow() {
    const char* wanted = std::getenv("TRAVOK_CODE_PAGE");
    const UINT codePage = wanted ? static_cast<UINT>(std::strtoul(wanted, nullptr, 10)) : 1252;
    for (const CodePageRow& row : kRows)
        if (row.codePage == codePage) return &row;
    return nullptr;
}

// Skips the test when Wine did not give this run the code page its locale names.
#define REQUIRE_CODE_PAGE()                                                                              \
    do {                                                                                                 \
        ASSERT_NE(ThisRow(), nullptr) << "TRAVOK_CODE_PAGE names a code page the table lacks";          \
        if (GetACP() != ThisRow()->codePage)                                                             \
            GTEST_SKIP() << "the locale gave code page " << GetACP() << ", not " << ThisRow()->codePage; \
    } while (false)

// text in codePage's bytes.
std::string Encoded(const std::wstring& text, UINT codePage = CP_ACP) {
    const int n = WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                      nullptr);
    std::string bytes(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), bytes.data(), n, nullptr, nullptr);
    return bytes;
}

std::string InCodePage(const std::wstring& text) { return Encoded(text); }

std::wstring FromCodePage(const std::string& bytes, UINT codePage = CP_ACP) {
    const int n = MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring text(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(), n);
    return text;
}

// How coded bytes must read on this row.
std::wstring CodedView(const std::string& bytes) {
    return FromCodePage(bytes, ThisRow()->fixedMap ? 1252 : CP_ACP);
}

// Every character the plain side holds: each byte that is a character of its own in the
// code page, and a few double-byte characters where it has them. None codes to a zero
// byte with key 9, which a text box could not show.
std::wstring PlainText() {
    std::wstring text;
    auto add = [&text](const std::wstring& c) {
        const std::string bytes = InCodePage(c);
        if (FromCodePage(bytes) != c || bytes.find('\xf7') != std::string::npos) return;
        text += c;
    };
    for (int b = 1; b < 256; ++b) {
        const std::wstring c = FromCodePage(std::string(1, static_cast<char>(b)));
        if (c.size() == 1 && InCodePage(c) == std::string(1, static_cast<char>(b))) add(c);
    }
    for (const wchar_t* c : {L"\u6f22", L"\u5b57", L"\u3042", L"\u00e9"}) add(c);
    return text;
}

std::wstring Printable() {
    std::wstring text;
    for (wchar_t c = 0x20; c < 0x7f; ++c) text += c;
    return text;
}

class CodePagePage : public PageTest {
protected:
    void Paste(int id) const {
        SetTextW(Item(id), L"");
        DWORD_PTR result = 0;
        SendMessageTimeoutW(Item(id), WM_PASTE, 0, 0, SMTO_NORMAL, kSafetyNetMs, &result);
    }
};

TEST_F(CodePagePage, CodedTextComesBackThroughCopyAndPaste) {
    REQUIRE_CODE_PAGE();
    const std::wstring plain = PlainText();
    ASSERT_GE(plain.size(), 95u);
    Type(IDC_KEY, "9");
    Type(IDC_INPUT, plain);
    EXPECT_TRUE(NoMessage(Action()));
    const std::wstring coded = TextW(IDC_RESULT);
    EXPECT_TRUE(coded == CodedView(Shifted(InCodePage(plain), "9", false))) << "coded bytes, shown";

    app.ClickNow(Item(IDC_COPY));
    Paste(IDC_INPUT);
    EXPECT_TRUE(TextW(IDC_INPUT) == coded) << "pasted as copied";
    SetDecode(true);
    EXPECT_TRUE(NoMessage(Action()));
    EXPECT_TRUE(TextW(IDC_RESULT) == plain) << "decoded";
}

// Single-byte code pages read a coded text exactly as they always did: through the code
// page, which on 1250 is another text than the fixed map gives.
TEST_F(CodePagePage, SingleByteCodePagesShowCodedBytesAsBefore) {
    REQUIRE_CODE_PAGE();
    if (ThisRow()->fixedMap) GTEST_SKIP() << "code page " << GetACP() << " takes the fixed map";
    std::string high;
    for (int b = 0x80 - 9; b < 0x100 - 9; ++b) high += static_cast<char>(b);
    Type(IDC_KEY, "9");
    Type(IDC_INPUT, FromCodePage(high));
    EXPECT_TRUE(NoMessage(Action()));
    EXPECT_TRUE(TextW(IDC_RESULT) == FromCodePage(Shifted(high, "9", false)));
}

TEST_F(CodePagePage, FileToTextResultWrittenBackByTextToFileGivesTheFile) {
    REQUIRE_CODE_PAGE();
    std::string bytes;
    for (int b = 1; b < 256; ++b)
        if (b != 0xf7) bytes += static_cast<char>(b);
    bytes += bytes;
    WriteBytes(dir.File("in.bin"), bytes);
    Type(IDC_KEY, "9");
    Type(IDC_INPUT_PATH, dir.File("in.bin"));
    SetMode(Mode::FileToText);
    EXPECT_TRUE(NoMessage(Action()));
    const std::wstring coded = TextW(IDC_RESULT);
    EXPECT_TRUE(coded == CodedView(Shifted(bytes, "9", false)));

    app.ClickNow(Item(IDC_COPY));
    Paste(IDC_INPUT);
    Type(IDC_OUTPUT_PATH, dir.File("back.bin"));
    SetMode(Mode::TextToFile);
    SetDecode(true);
    EXPECT_TRUE(NoMessage(Action()));
    EXPECT_TRUE(ReadBytes(dir.File("back.bin")) == bytes);
}

TEST_F(CodePagePage, APlainCharacterTheCodePageLacksIsTold) {
    REQUIRE_CODE_PAGE();
    const std::wstring thai = L"A\u0e01B";  // Thai ko kai: in none of these code pages
    Type(IDC_KEY, "9");
    for (Mode mode : {Mode::TextToText, Mode::TextToFile}) {
        SCOPED_TRACE(ModeName(mode));
        Type(IDC_INPUT, thai);
        Type(IDC_OUTPUT_PATH, dir.File("out.bin"));
        SetMode(mode);
        EXPECT_TRUE(OneMessage(Action(), kNotInCodePage, IDI_ASTERISK));
        const std::string coded = Shifted("A?B", "9", false);
        if (mode == Mode::TextToFile) EXPECT_TRUE(ReadBytes(dir.File("out.bin")) == coded);
        else EXPECT_TRUE(TextW(IDC_RESULT) == CodedView(coded));
    }
}

// The page of a Travok.exe whose code page is UTF-8. Its server is the registered
// Travok.exe, which a manifest of the copy cannot reach: CodeWithKey under UTF-8 rests on
// the same byte-text functions and the unit table of the choice.
class Utf8CodePage : public testing::Test {
protected:
    TempDir dir;
    std::wstring exe = CopyWithUtf8CodePage(Wide(TravokExePath()), Wide(dir.Path()) + L"Travok-utf8.exe");
    TravokProcess app{"", exe};

    HWND Item(int id) const { return app.Item(id); }
    std::vector<SeenBox> Action() const { return app.ClickAndCollect(Item(IDC_ACTION)); }
};

TEST_F(Utf8CodePage, CodedTextComesBackThroughCopyAndPaste) {
    ASSERT_FALSE(exe.empty()) << "cannot give the copy its manifest: " << GetLastError();
    SetTextW(Item(IDC_KEY), L"9");
    // One e acute: two bytes under UTF-8, one under 1252.
    SetTextW(Item(IDC_INPUT), L"\u00e9");
    EXPECT_TRUE(NoMessage(Action()));
    if (GetTextW(Item(IDC_RESULT)) == FromCodePage(Shifted("\xe9", "9", false), 1252))
        GTEST_SKIP() << "this Wine ignores activeCodePage";

    const std::wstring plain = Printable() + L"\r\ncaf\u00e9 \u03a9 \u65e5\u672c \u0e01 \U0001f600";
    SetTextW(Item(IDC_INPUT), plain);
    EXPECT_TRUE(NoMessage(Action()));
    const std::wstring coded = GetTextW(Item(IDC_RESULT));
    EXPECT_TRUE(coded == FromCodePage(Shifted(Encoded(plain, CP_UTF8), "9", false), 1252)) << "coded bytes, shown";
    app.ClickNow(Item(IDC_COPY));
    SetTextW(Item(IDC_INPUT), L"");
    DWORD_PTR result = 0;
    SendMessageTimeoutW(Item(IDC_INPUT), WM_PASTE, 0, 0, SMTO_NORMAL, kSafetyNetMs, &result);
    EXPECT_TRUE(GetTextW(Item(IDC_INPUT)) == coded) << "pasted as copied";
    app.ClickNow(Item(IDC_DECODE));
    EXPECT_TRUE(NoMessage(Action()));
    EXPECT_TRUE(GetTextW(Item(IDC_RESULT)) == plain) << "decoded";

    // UTF-8 holds every character; only a lone surrogate is no text at all.
    app.ClickNow(Item(IDC_CODE));
    SetTextW(Item(IDC_INPUT), std::wstring(L"a") + wchar_t(0xd800));
    EXPECT_TRUE(OneMessage(Action(), kNotInCodePage, IDI_ASTERISK));
}

using CodePageServer = ClientStartedServer;

TEST_F(CodePageServer, DeCodeWithKeyOfCodeWithKeyGivesTheTextBack) {
    REQUIRE_CODE_PAGE();
    struct Case {
        const char* what;
        std::wstring text;
        std::wstring key;
    } cases[] = {
        {"the printable ASCII characters", Printable(), L"9"},
        {"bytes that code above 0x80", L"zzzz~~~~}}}}", L"9999"},
        {"every character of the plain side", PlainText(), L"9"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::wstring coded = Code(object.Get(), 1, c.text, c.key);
        EXPECT_TRUE(coded == CodedView(Shifted(InCodePage(c.text), InCodePage(c.key), false))) << "coded bytes";
        EXPECT_TRUE(Code(object.Get(), 2, coded, c.key) == c.text) << "decoded";
    }
    // The server keeps its answer for a character the code page lacks: '?'.
    EXPECT_TRUE(Code(object.Get(), 1, L"A\u0e01B", L"1") == CodedView("B@C"));
}

}  // namespace
