// CDialog's dialog procedure thunk and modal run.
#include "Dialog.h"

#include "CallbackGuard.h"
#include "WinApp.h"

INT_PTR CDialog::DoModal(HWND parent) {
    if (!parent) parent = AfxGetSafeOwner();
    return DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(m_templateId), parent, DialogProc,
                           reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK CDialog::DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* self = reinterpret_cast<CDialog*>(lParam);
        self->m_hWnd = hwnd;
        SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
    }
    auto* self = reinterpret_cast<CDialog*>(GetWindowLongPtrW(hwnd, DWLP_USER));
    if (!self) return FALSE;
    INT_PTR result = self->HandleMessage(message, wParam, lParam);
    if (message == WM_NCDESTROY) self->m_hWnd = nullptr;
    return result;
}

INT_PTR CDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    // A message whose handler failed counts as handled: it was reported.
    return CallGuarded(INT_PTR{TRUE}, [&]() -> INT_PTR {
        if (message == WM_INITDIALOG) return OnInitDialog();
        if (message == WM_COMMAND && RouteCommand(wParam)) return TRUE;
        LRESULT result = 0;
        if (!OnMessage(message, wParam, lParam, result)) return FALSE;
        SetWindowLongPtrW(m_hWnd, DWLP_MSGRESULT, result);
        return TRUE;
    });
}

bool CDialog::RouteCommand(WPARAM wParam) {
    for (const EventEntry& entry : GetEventTable()) {
        if (entry.id == LOWORD(wParam) && entry.code == HIWORD(wParam)) {
            (this->*entry.handler)();
            return true;
        }
    }
    return false;
}

BOOL CDialog::OnMessage(UINT message, WPARAM wParam, LPARAM, LRESULT&) {
    // OK, Esc and the close box all end a plain dialog.
    if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
        EndDialog(m_hWnd, LOWORD(wParam));
        return TRUE;
    }
    return FALSE;
}
