// CFileDialog: the common open and save dialogs (GetOpenFileNameW / GetSaveFileNameW)
// for one file, built from a "|" filter list, an initial name and a default extension.
#pragma once

#include <string>
#include <vector>

#include "Wnd.h"

#include <commdlg.h>

class CFileDialog {
public:
    // filter: label and pattern pairs, each followed by "|", e.g. "Text (*.txt)|*.txt|".
    // defaultExt may be given as a pattern ("*.key"): only the extension reaches the
    // platform. The owner is parent's window, or the application's active window.
    CFileDialog(BOOL bOpenFileDialog, const wchar_t* defaultExt = nullptr, const wchar_t* fileName = nullptr,
                DWORD flags = 0, const wchar_t* filter = nullptr, const CWnd* parent = nullptr);
    CFileDialog(const CFileDialog&) = delete;
    CFileDialog& operator=(const CFileDialog&) = delete;

    // IDOK when the user chose a file; IDCANCEL when the dialog was cancelled, closed or
    // could not run.
    INT_PTR DoModal();

    // The chosen full path.
    std::wstring GetPathName() const { return m_fileNameBuffer.data(); }

    OPENFILENAMEW m_ofn{};

private:
    // Room for the longest path the system takes, so that a deep folder is never cut.
    static constexpr DWORD kMaxPath = 32768;

    BOOL m_bOpenFileDialog;
    const CWnd* m_pParentWnd;
    std::wstring m_strFilter;  // the platform's form: "label\0pattern\0...\0"
    std::wstring m_strDefExt;
    std::vector<wchar_t> m_fileNameBuffer;
};
