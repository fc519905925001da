// CPropertyPage: a dialog template shown as one page of a CPropertySheet, with the
// sheet's notifications turned into virtual calls and controls bound to members.
#pragma once

#include "Dialog.h"

class CPropertyPage : public CDialog {
public:
    explicit CPropertyPage(UINT templateId) : CDialog(templateId) {}

    // The page description handed to the property sheet; lParam carries this object.
    PROPSHEETPAGEW BuildPageInfo(bool hasHelp);

protected:
    // Binds member controls to the page's controls, the first time the window exists.
    virtual void DoDataExchange() {}
    // The page becomes active; return FALSE to refuse.
    virtual BOOL OnSetActive() { return TRUE; }

    // Makes control the member object for the page's control id.
    void DDX_Control(int id, CWnd& control) const { control.m_hWnd = GetDlgItem(m_hWnd, id); }

    BOOL OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    static INT_PTR CALLBACK PageProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
};
