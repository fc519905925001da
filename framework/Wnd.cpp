// CWnd's text and message box calls.
#include "Wnd.h"

std::string CWnd::GetWindowText() const {
    int length = GetWindowTextLengthA(m_hWnd);
    if (length <= 0) return {};
    std::string text(static_cast<size_t>(length) + 1, '\0');
    int got = ::GetWindowTextA(m_hWnd, text.data(), length + 1);
    text.resize(got > 0 ? static_cast<size_t>(got) : 0);
    return text;
}

void CWnd::SetWindowText(std::string_view text) const {
    std::string terminated(text.substr(0, text.find('\0')));
    ::SetWindowTextA(m_hWnd, terminated.c_str());
}

int CWnd::MessageBox(const std::string& text, const std::string& caption, UINT type) const {
    return ::MessageBoxA(m_hWnd, text.c_str(), caption.c_str(), type);
}
