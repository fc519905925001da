// CWinApp: the one application object, its start-up hook and the application-wide state
// shared with the automation server (user-control flag, live-object count).
#pragma once

#include <string>

#include "Wnd.h"

class CWinApp {
public:
    CWinApp();
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    // The start-up hook; returning FALSE ends the program right after it.
    virtual BOOL InitInstance() { return FALSE; }
    // Whether the application handles the help command, which gives sheets a Help button.
    virtual bool HandlesHelp() const { return false; }
    // The standard help handler: the application's help page in the system's viewer for
    // it; when the page is missing or no viewer takes it, OnHelpUnavailable.
    void OnHelp();
    // Tells the user why the help page did not open (error: ERROR_FILE_NOT_FOUND when it
    // is missing, else the system's answer).
    virtual void OnHelpUnavailable(DWORD error);
    // Tells the user that an operation ran out of memory; a handler's exception that
    // reports it reaches here (CallbackGuard.h).
    virtual void OnOutOfMemory();

    // Look for "/Embedding" or "-Embedding" ("Automation") in the command line; a found
    // switch is removed and the user-control flag turned off.
    BOOL RunEmbedded() { return FindSwitch("Embedding"); }
    BOOL RunAutomated() { return FindSwitch("Automation"); }

    // Runs the application: sets up the instance data, then InitInstance.
    int Run(HINSTANCE instance, const char* commandLine);

    HINSTANCE m_hInstance = nullptr;
    std::string m_strCmdLine;     // the arguments after the program's own name
    std::string m_appName;        // the executable's name without extension
    std::wstring m_helpFilePath;  // the executable's path with ".html"
    CWnd* m_pMainWnd = nullptr;

    // Application-wide automation state.
    bool m_bUserCtrl = true;      // the user, not a client, controls the lifetime
    volatile LONG m_nObjectCount = 0;

private:
    BOOL FindSwitch(const char* name);
};

CWinApp* AfxGetApp();

// Opens the document at path in the program the system associates with its kind, as a
// double click in Explorer would; NO_ERROR or the system's error.
using DocumentOpener = DWORD (*)(HWND owner, const std::wstring& path);
// Puts opener in the system's place (ShellExecuteW) and returns the one before, so that
// tests can see the request without a viewer starting.
DocumentOpener SetDocumentOpener(DocumentOpener opener);

// The owner for a window that names none: the main window's active pop-up, or the
// main window itself; nullptr when there is no main window.
HWND AfxGetSafeOwner();

// A message box captioned with the application name, owned by the main window.
int AfxMessageBox(const std::string& text, UINT type = MB_OK);
int AfxMessageBox(UINT stringId, UINT type = MB_OK);

// Finds switch name after a '/' or '-' anywhere in commandLine, compared case-sensitively
// over the name's length only; removes the sign and the name. Exposed for testing.
bool RemoveCommandLineSwitch(std::string& commandLine, const char* name);
