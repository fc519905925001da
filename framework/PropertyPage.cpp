// CPropertyPage's page procedure and notification handling.
#include "PropertyPage.h"

#include "WinApp.h"

PROPSHEETPAGEW CPropertyPage::BuildPageInfo(bool hasHelp) {
    PROPSHEETPAGEW page{};
    page.dwSize = sizeof page;
    page.dwFlags = hasHelp ? PSP_DEFAULT | PSP_HASHELP : PSP_DEFAULT;
    page.hInstance = GetModuleHandleW(nullptr);
    page.pszTemplate = MAKEINTRESOURCEW(m_templateId);
    page.pfnDlgProc = PageProc;
    page.lParam = reinterpret_cast<LPARAM>(this);
    return page;
}

INT_PTR CALLBACK CPropertyPage::PageProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        // The sheet passes its copy of our PROPSHEETPAGE; its lParam is the page object.
        auto* self = reinterpret_cast<CPropertyPage*>(reinterpret_cast<PROPSHEETPAGEW*>(lParam)->lParam);
        self->m_hWnd = hwnd;
        SetWindowLongPtrW(hwnd, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
        self->DoDataExchange();
    }
    auto* self = reinterpret_cast<CPropertyPage*>(GetWindowLongPtrW(hwnd, DWLP_USER));
    if (!self) return FALSE;
    INT_PTR result = self->HandleMessage(message, wParam, lParam);
    if (message == WM_NCDESTROY) self->m_hWnd = nullptr;
    return result;
}

BOOL CPropertyPage::OnMessage(UINT message, WPARAM, LPARAM lParam, LRESULT& result) {
    if (message != WM_NOTIFY) return FALSE;
    switch (reinterpret_cast<NMHDR*>(lParam)->code) {
    case PSN_SETACTIVE:
        result = OnSetActive() ? 0 : -1;
        return TRUE;
    case PSN_APPLY:
        result = PSNRET_NOERROR;
        return TRUE;
    case PSN_HELP:
        if (CWinApp* app = AfxGetApp()) app->OnHelp();
        return TRUE;
    default:
        return FALSE;
    }
}
