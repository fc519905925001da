// CFileDialog over the common dialog library.
#include "FileDialog.h"

#include <algorithm>

#include "Dialog.h"

namespace {

// "*.key", ".key" and "key" all mean the extension "key". The platform wants the
// extension alone: it adds the dot itself, and documents no use for a pattern.
std::string BareExtension(const char* ext) {
    std::string text = ext ? ext : "";
    size_t dot = text.find_last_of('.');
    return dot == std::string::npos ? text : text.substr(dot + 1);
}

}  // namespace

CFileDialog::CFileDialog(BOOL bOpenFileDialog, const char* defaultExt, const char* fileName, DWORD flags,
                         const char* filter, const CWnd* parent)
    : m_bOpenFileDialog(bOpenFileDialog), m_pParentWnd(parent), m_strDefExt(BareExtension(defaultExt)) {
    if (filter) {
        m_strFilter = filter;
        std::replace(m_strFilter.begin(), m_strFilter.end(), '|', '\0');
        // The list ends with an empty string: two zero bytes in a row.
        m_strFilter.push_back('\0');
    }
    if (fileName) lstrcpynA(m_szFileName, fileName, MAX_PATH);

    m_ofn.lStructSize = sizeof m_ofn;
    m_ofn.lpstrFilter = m_strFilter.empty() ? nullptr : m_strFilter.c_str();
    m_ofn.nFilterIndex = 1;
    m_ofn.lpstrFile = m_szFileName;
    m_ofn.nMaxFile = MAX_PATH;
    m_ofn.lpstrDefExt = m_strDefExt.empty() ? nullptr : m_strDefExt.c_str();
    m_ofn.Flags = flags;
}

INT_PTR CFileDialog::DoModal() {
    m_ofn.hwndOwner = m_pParentWnd ? m_pParentWnd->GetSafeHwnd() : AfxGetSafeOwner();
    BOOL chosen = m_bOpenFileDialog ? GetOpenFileNameA(&m_ofn) : GetSaveFileNameA(&m_ofn);
    return chosen ? IDOK : IDCANCEL;
}
