// CWnd's text and message box calls.
#include "Wnd.h"

#include "ByteText.h"
#include "String.h"

std::wstring CWnd::GetWindowTextW() const {
    const int length = GetWindowTextLengthW(m_hWnd);
    if (length <= 0) return {};
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const int got = ::GetWindowTextW(m_hWnd, text.data(), length + 1);
    text.resize(got > 0 ? static_cast<size_t>(got) : 0);
    return text;
}

void CWnd::SetWindowTextW(const std::wstring& text) const { ::SetWindowTextW(m_hWnd, text.c_str()); }

std::string CWnd::GetWindowText(bool* lost) const { return WideToAnsi(GetWindowTextW(), CP_ACP, lost); }

void CWnd::SetWindowText(std::string_view text) const { SetWindowTextW(AnsiToWide(text.substr(0, text.find('\0')))); }

std::string CWnd::GetBytesText(bool* lost) const { return WideToBytes(GetWindowTextW(), lost); }

void CWnd::SetBytesText(std::string_view bytes) const { SetWindowTextW(BytesToWide(bytes.substr(0, bytes.find('\0')))); }

int CWnd::MessageBox(const std::wstring& text, const std::wstring& caption, UINT type) const {
    return ::MessageBoxW(m_hWnd, text.c_str(), caption.c_str(), type);
}

UniqueIcon LoadIconSized(UINT id, int sizeMetric) {
    const int size = GetSystemMetrics(sizeMetric);
    return UniqueIcon(static_cast<HICON>(
        LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), IMAGE_ICON, size, size, LR_DEFAULTCOLOR)));
}
