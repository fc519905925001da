// CMy_PropertySheet: the main window, a property sheet captioned "Travok" holding the
// coding page, with "About Travok..." on its system menu.
#pragma once

#include "framework/PropertySheet.h"
#include "page/Cheie.h"

class CMy_PropertySheet : public CPropertySheet {
public:
    CMy_PropertySheet(std::string caption, HWND parent, UINT startPage);

protected:
    BOOL OnInitDialog() override;
    void OnSysCommand(UINT id, LPARAM lParam) override;

private:
    UniqueIcon m_bigIcon;    // at the system's DPI, for Alt+Tab
    UniqueIcon m_smallIcon;  // for the title bar and the taskbar
    CCheie m_page;
};
