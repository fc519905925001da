// Strings: loading from the string table, ANSI/wide conversion, and an owner for BSTRs.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>

#include "Win.h"

// The text of string resource id of the program's module; empty when there is none.
std::wstring LoadResStringW(UINT id);
// The same in the active ANSI code page.
std::string LoadResString(UINT id);
// String id with %1, %2... replaced by values, in order.
std::wstring LoadResStringW(UINT id, std::initializer_list<std::wstring> values);

// Conversions under the active ANSI code page, or codePage when given. Lengths are
// explicit, so zero characters convert like any other.
std::wstring AnsiToWide(std::string_view text, UINT codePage = CP_ACP);
// A character the code page lacks becomes its default character ('?'); lost (when
// given) says whether any did.
std::string WideToAnsi(std::wstring_view text, UINT codePage = CP_ACP, bool* lost = nullptr);

// The flags WideCharToMultiByte is to get for codePage (CP_ACP for the active one):
// WC_NO_BEST_FIT_CHARS where the code page takes it, 0 where Windows refuses every flag
// (UTF-8 and the stateful and GB18030 code pages) with ERROR_INVALID_FLAGS.
DWORD WideToAnsiFlags(UINT codePage);

// Owns one BSTR and frees it with SysFreeString.
class CBstr {
public:
    CBstr() = default;
    explicit CBstr(BSTR owned) : m_str(owned) {}
    explicit CBstr(std::string_view ansi);  // throws std::bad_alloc
    CBstr(const CBstr&) = delete;
    CBstr& operator=(const CBstr&) = delete;
    CBstr(CBstr&& other) noexcept : m_str(std::exchange(other.m_str, nullptr)) {}
    CBstr& operator=(CBstr&& other) noexcept {
        std::swap(m_str, other.m_str);
        return *this;
    }
    ~CBstr() { SysFreeString(m_str); }

    BSTR Get() const { return m_str; }
    BSTR Detach() { return std::exchange(m_str, nullptr); }
    UINT Length() const { return SysStringLen(m_str); }
    std::wstring_view View() const { return {m_str ? m_str : L"", Length()}; }
    std::string ToAnsi() const { return WideToAnsi(View()); }

private:
    BSTR m_str = nullptr;
};
