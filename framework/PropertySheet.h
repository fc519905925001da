// CPropertySheet: a property sheet run modally by our own message loop, so that
// destroying its window from outside ends the run just like OK.
#pragma once

#include <string>
#include <vector>

#include "PropertyPage.h"

class CPropertySheet : public CWnd {
public:
    CPropertySheet(std::string caption, HWND parent, UINT startPage);
    virtual ~CPropertySheet();
    CPropertySheet(const CPropertySheet&) = delete;
    CPropertySheet& operator=(const CPropertySheet&) = delete;

    void AddPage(CPropertyPage* page) { m_pages.push_back(page); }

    // Shows the sheet and returns when it closes: IDOK or IDCANCEL by its buttons, IDOK
    // when its window was destroyed from outside, -1 when it could not be created.
    INT_PTR DoModal();

protected:
    // Called once the sheet's window and pages exist; returns the focus flag.
    virtual BOOL OnInitDialog() { return TRUE; }
    // System commands; the default passes them on to the property sheet.
    virtual void OnSysCommand(UINT id, LPARAM lParam);

private:
    static bool PressPageDefaultButton(HWND sheet, const MSG& msg);
    static int CALLBACK SheetCallback(HWND hwnd, UINT message, LPARAM lParam);
    static LRESULT CALLBACK SubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                         DWORD_PTR refData);

    std::string m_caption;
    HWND m_parent;
    UINT m_startPage;
    std::vector<CPropertyPage*> m_pages;
};
