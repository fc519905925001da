// CPropertySheet: creation through PropertySheetW (a Unicode window, so its pages' boxes
// hold any text), subclassing for system commands, and the modal loop.
#include "PropertySheet.h"

#include "CallbackGuard.h"
#include "String.h"
#include "WinApp.h"

namespace {
// PropertySheetW's callback carries no user data: the sheet being created is handed
// over here. Only one sheet is created at a time, on the one UI thread.
CPropertySheet* g_creatingSheet = nullptr;
constexpr UINT_PTR kSubclassId = 1;
}  // namespace

CPropertySheet::CPropertySheet(std::string caption, HWND parent, UINT startPage)
    : m_caption(std::move(caption)), m_parent(parent), m_startPage(startPage) {}

CPropertySheet::~CPropertySheet() {
    if (m_hWnd && IsWindow(m_hWnd)) ::DestroyWindow(m_hWnd);
}

INT_PTR CPropertySheet::DoModal() {
    const bool hasHelp = AfxGetApp() && AfxGetApp()->HandlesHelp();
    std::vector<PROPSHEETPAGEW> pages;
    for (CPropertyPage* page : m_pages) pages.push_back(page->BuildPageInfo(hasHelp));

    const std::wstring caption = AnsiToWide(m_caption);
    PROPSHEETHEADERW header{};
    header.dwSize = sizeof header;
    header.dwFlags = PSH_PROPSHEETPAGE | PSH_MODELESS | PSH_USECALLBACK | (hasHelp ? PSH_HASHELP : 0);
    header.hwndParent = m_parent;
    header.hInstance = GetModuleHandleW(nullptr);
    header.pszCaption = caption.c_str();
    header.nPages = static_cast<UINT>(pages.size());
    header.nStartPage = m_startPage;
    header.ppsp = pages.data();
    header.pfnCallback = SheetCallback;

    g_creatingSheet = this;
    auto hwnd = reinterpret_cast<HWND>(PropertySheetW(&header));
    g_creatingSheet = nullptr;
    if (!hwnd || hwnd == reinterpret_cast<HWND>(-1)) return -1;
    m_hWnd = hwnd;
    OnInitDialog();

    // Our own modal loop: it ends when a button closes the sheet (the current page is
    // then gone) or when the window is destroyed, by us or from outside.
    INT_PTR result = IDOK;
    MSG msg;
    while (IsWindow(hwnd) && PropSheet_GetCurrentPageHwnd(hwnd)) {
        BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got <= 0) {
            if (got == 0) PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        if (PressPageDefaultButton(hwnd, msg)) continue;
        if (!SendMessageW(hwnd, PSM_ISDIALOGMESSAGE, 0, reinterpret_cast<LPARAM>(&msg))) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    if (IsWindow(hwnd)) {
        result = PropSheet_GetResult(hwnd) > 0 ? IDOK : IDCANCEL;
        ::DestroyWindow(hwnd);
    }
    m_hWnd = nullptr;
    return result;
}

bool CPropertySheet::PressPageDefaultButton(HWND sheet, const MSG& msg) {
    // Enter in a page's box would otherwise press the sheet's OK, which closes it and
    // throws away what was typed: a page with a default button of its own gets it. The
    // page is told of a click, as the dialog manager does for Enter, rather than the
    // button being clicked: a click would move the focus onto the button.
    if (msg.message != WM_KEYDOWN || msg.wParam != VK_RETURN) return false;
    HWND page = PropSheet_GetCurrentPageHwnd(sheet);
    if (!page || !IsChild(page, msg.hwnd)) return false;
    // Boxes that take Enter themselves (multi-line text) and buttons keep it.
    LRESULT code = ::SendMessageW(msg.hwnd, WM_GETDLGCODE, VK_RETURN, reinterpret_cast<LPARAM>(&msg));
    if (code & (DLGC_WANTALLKEYS | DLGC_WANTMESSAGE | DLGC_BUTTON | DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON))
        return false;
    LRESULT defaultId = ::SendMessageW(page, DM_GETDEFID, 0, 0);
    if (HIWORD(defaultId) != DC_HASDEFID) return false;
    HWND button = GetDlgItem(page, LOWORD(defaultId));
    if (!button || !::IsWindowEnabled(button)) return false;
    ::SendMessageW(page, WM_COMMAND, MAKEWPARAM(LOWORD(defaultId), BN_CLICKED), reinterpret_cast<LPARAM>(button));
    return true;
}

int CALLBACK CPropertySheet::SheetCallback(HWND hwnd, UINT message, LPARAM) {
    if (message == PSCB_INITIALIZED && g_creatingSheet) {
        g_creatingSheet->m_hWnd = hwnd;
        SetWindowSubclass(hwnd, SubclassProc, kSubclassId, reinterpret_cast<DWORD_PTR>(g_creatingSheet));
    }
    return 0;
}

LRESULT CALLBACK CPropertySheet::SubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                              DWORD_PTR refData) {
    auto* self = reinterpret_cast<CPropertySheet*>(refData);
    switch (message) {
    case WM_SYSCOMMAND:
        // OnSysCommand's default passes the command on through DefSubclassProc.
        return CallGuarded(LRESULT{0}, [&] {
            self->OnSysCommand(static_cast<UINT>(wParam), lParam);
            return LRESULT{0};
        });
    case WM_NCDESTROY:
        RemoveWindowSubclass(hwnd, SubclassProc, kSubclassId);
        self->m_hWnd = nullptr;
        break;
    }
    return DefSubclassProc(hwnd, message, wParam, lParam);
}

void CPropertySheet::OnSysCommand(UINT id, LPARAM lParam) {
    DefSubclassProc(m_hWnd, WM_SYSCOMMAND, id, lParam);
}
