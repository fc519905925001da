// CTravokApp: the application object; its start-up is the program's whole life.
#pragma once

#include "framework/WinApp.h"

class CTravokApp : public CWinApp {
public:
    BOOL InitInstance() override;
    bool HandlesHelp() const override { return true; }  // ID_HELP: the standard help handler
    // Says which page is missing, or what the system answered, in the page's own box.
    void OnHelpUnavailable(DWORD error) override;
    // The page's own box for it, above whatever window is active.
    void OnOutOfMemory() override;
};
