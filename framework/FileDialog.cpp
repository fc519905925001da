// CFileDialog over the common dialog library.
#include "FileDialog.h"

#include <algorithm>

#include "WinApp.h"

namespace {

// "*.key", ".key" and "key" all mean the extension "key". The platform wants the
// extension alone: it adds the dot itself, and documents no use for a pattern.
std::wstring BareExtension(const wchar_t* ext) {
    std::wstring text = ext ? ext : L"";
    size_t dot = text.find_last_of(L'.');
    return dot == std::wstring::npos ? text : text.substr(dot + 1);
}

std::wstring CurrentFolder() {
    std::wstring folder(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetCurrentDirectoryW(static_cast<DWORD>(folder.size()), folder.data());
        if (length == 0) return {};
        if (length < folder.size()) {
            folder.resize(length);
            return folder;
        }
        folder.resize(length);  // the size asked for, with its terminator
    }
}

}  // namespace

CFileDialog::CFileDialog(BOOL bOpenFileDialog, const wchar_t* defaultExt, const wchar_t* fileName, DWORD flags,
                         const wchar_t* filter, const CWnd* parent)
    : m_bOpenFileDialog(bOpenFileDialog),
      m_pParentWnd(parent),
      m_strDefExt(BareExtension(defaultExt)),
      m_fileNameBuffer(kMaxPath, L'\0') {
    if (filter) {
        m_strFilter = filter;
        std::replace(m_strFilter.begin(), m_strFilter.end(), L'|', L'\0');
        // The list ends with an empty string: two zero characters in a row.
        m_strFilter.push_back(L'\0');
    }
    if (fileName) lstrcpynW(m_fileNameBuffer.data(), fileName, static_cast<int>(kMaxPath));

    m_ofn.lStructSize = sizeof m_ofn;
    m_ofn.lpstrFilter = m_strFilter.empty() ? nullptr : m_strFilter.c_str();
    m_ofn.nFilterIndex = 1;
    m_ofn.lpstrFile = m_fileNameBuffer.data();
    m_ofn.nMaxFile = kMaxPath;
    m_ofn.lpstrDefExt = m_strDefExt.empty() ? nullptr : m_strDefExt.c_str();
    m_ofn.Flags = flags;
}

INT_PTR CFileDialog::DoModal() {
    m_ofn.hwndOwner = m_pParentWnd ? m_pParentWnd->GetSafeHwnd() : AfxGetSafeOwner();
    // The dialogs make the picked folder the process's current one, which Windows then
    // holds open (it cannot be renamed or removed) and against which names typed
    // without a folder would be taken. OFN_NOCHANGEDIR stops that for Save only, so the
    // current folder is put back after either.
    const std::wstring current = CurrentFolder();
    if (!m_bOpenFileDialog) m_ofn.Flags |= OFN_NOCHANGEDIR;
    BOOL chosen = m_bOpenFileDialog ? GetOpenFileNameW(&m_ofn) : GetSaveFileNameW(&m_ofn);
    if (!current.empty()) SetCurrentDirectoryW(current.c_str());
    return chosen ? IDOK : IDCANCEL;
}
