// Start-up: automation runtime, command-line switches, class factory registration or
// registry refresh, then the main sheet, run modally.
#include "TravokApp.h"

#include <string>

#include "MainSheet.h"
#include "framework/OleFactory.h"
#include "page/Messages.h"
#include "res/resource.h"

BOOL CTravokApp::InitInstance() {
    // OLE lasts for the whole run: it ends as this returns, after the sheet has gone.
    const COleRuntime ole = AfxOleInit();
    if (!ole) {
        AfxMessageBox(IDP_OLE_INIT_FAILED);
        return FALSE;
    }
    // Three-dimensional controls come with the common-controls manifest; nothing to ask.

    if (RunEmbedded() || RunAutomated()) {
        COleObjectFactory::RegisterAll();  // started by a client
    } else {
        COleObjectFactory::UpdateRegistryAll(TRUE);  // started by a user
    }

    CMy_PropertySheet sheet("Travok", nullptr, 0);
    m_pMainWnd = &sheet;
    sheet.DoModal();
    m_pMainWnd = nullptr;
    return FALSE;
}

void CTravokApp::OnOutOfMemory() { ShowErrorTravok(CWnd{AfxGetSafeOwner()}, IDS_OUT_OF_MEMORY, MB_ICONHAND); }

void CTravokApp::OnHelpUnavailable(DWORD error) {
    const CWnd owner{AfxGetSafeOwner()};
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
        ShowErrorTravok(owner, IDS_HELP_MISSING, MB_ICONEXCLAMATION, {m_helpFilePath});
    else
        ShowErrorTravok(owner, IDS_HELP_NOT_OPENED, MB_ICONEXCLAMATION, {m_helpFilePath, std::to_wstring(error)});
}
