// The main window: its icon, system menu entry and system commands.
#include "MainSheet.h"

#include "AboutBox.h"
#include "framework/String.h"
#include "res/resource.h"

CMy_PropertySheet::CMy_PropertySheet(std::string caption, HWND parent, UINT startPage)
    : CPropertySheet(std::move(caption), parent, startPage),
      m_bigIcon(LoadIconSized(IDR_MAINFRAME, SM_CXICON)),
      m_smallIcon(LoadIconSized(IDR_MAINFRAME, SM_CXSMICON)) {
    AddPage(&m_page);
}

BOOL CMy_PropertySheet::OnInitDialog() {
    BOOL result = CPropertySheet::OnInitDialog();
    if (HMENU menu = GetSystemMenu(m_hWnd, FALSE)) {
        std::string about = LoadResString(IDS_ABOUTBOX);
        if (!about.empty()) {
            AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
            AppendMenuA(menu, MF_STRING, IDM_ABOUTBOX, about.c_str());
        }
    }
    SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_bigIcon.get()));
    SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_smallIcon.get()));
    return result;
}

void CMy_PropertySheet::OnSysCommand(UINT id, LPARAM lParam) {
    // The platform uses the low four bits of system commands for itself.
    if ((id & 0xFFF0) == IDM_ABOUTBOX) {
        ShowAboutBox();
        return;
    }
    CPropertySheet::OnSysCommand(id, lParam);
}
