// CFileDialog: the common open and save dialogs (GetOpenFileNameA / GetSaveFileNameA)
// for one file, built from a "|" filter list, an initial name and a default extension.
#pragma once

#include <string>

#include "Wnd.h"

#include <commdlg.h>

class CFileDialog {
public:
    // filter: label and pattern pairs, each followed by "|", e.g. "Text (*.txt)|*.txt|".
    // defaultExt may be given as a pattern ("*.key"): only the extension reaches the
    // platform. The owner is parent's window, or the application's active window.
    CFileDialog(BOOL bOpenFileDialog, const char* defaultExt = nullptr, const char* fileName = nullptr,
                DWORD flags = 0, const char* filter = nullptr, const CWnd* parent = nullptr);
    CFileDialog(const CFileDialog&) = delete;
    CFileDialog& operator=(const CFileDialog&) = delete;

    // IDOK when the user chose a file; IDCANCEL when the dialog was cancelled, closed or
    // could not run.
    INT_PTR DoModal();

    // The chosen full path.
    std::string GetPathName() const { return m_szFileName; }

    OPENFILENAMEA m_ofn{};

private:
    BOOL m_bOpenFileDialog;
    const CWnd* m_pParentWnd;
    std::string m_strFilter;  // the platform's form: "label\0pattern\0...\0"
    std::string m_strDefExt;
    char m_szFileName[MAX_PATH] = {};
};
