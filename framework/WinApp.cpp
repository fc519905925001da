// CWinApp: application instance data, command-line switches, help and message boxes.
#include "WinApp.h"

#include <cstring>
#include <new>

#include "CallbackGuard.h"
#include "Path.h"
#include "String.h"

namespace {
CWinApp* g_app = nullptr;
}

CWinApp::CWinApp() { g_app = this; }

CWinApp::~CWinApp() {
    if (g_app == this) g_app = nullptr;
}

CWinApp* AfxGetApp() { return g_app; }

HWND AfxGetSafeOwner() {
    CWinApp* app = AfxGetApp();
    HWND main = app && app->m_pMainWnd ? app->m_pMainWnd->m_hWnd : nullptr;
    if (!main || !IsWindow(main)) return nullptr;
    return GetLastActivePopup(main);
}

int CWinApp::Run(HINSTANCE instance, const char* commandLine) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    m_hInstance = instance;
    m_strCmdLine = commandLine ? commandLine : "";

    const std::wstring exe = ModulePath(instance);
    const size_t nameStart = exe.find_last_of(L"\\/") + 1;  // 0 when there is no folder
    size_t dot = exe.rfind(L'.');
    if (dot == std::wstring::npos || dot < nameStart) dot = exe.size();
    m_appName = WideToAnsi(exe.substr(nameStart, dot - nameStart));
    m_helpFilePath = exe.substr(0, dot) + L".HLP";

    InitInstance();  // its result only says that the program ends now
    return 0;
}

bool RemoveCommandLineSwitch(std::string& commandLine, const char* name) {
    const size_t length = std::strlen(name);
    for (size_t i = 0; i < commandLine.size(); ++i) {
        if ((commandLine[i] == '/' || commandLine[i] == '-') && commandLine.compare(i + 1, length, name) == 0) {
            commandLine.erase(i, length + 1);
            return true;
        }
    }
    return false;
}

BOOL CWinApp::FindSwitch(const char* name) {
    if (!RemoveCommandLineSwitch(m_strCmdLine, name)) return FALSE;
    m_bUserCtrl = false;
    return TRUE;
}

void CWinApp::OnHelp() {
    // No help file, no help viewer: the viewer would only report a missing file.
    if (GetFileAttributesW(ExtendedLengthPath(m_helpFilePath).c_str()) == INVALID_FILE_ATTRIBUTES) return;
    HWND owner = m_pMainWnd ? m_pMainWnd->m_hWnd : nullptr;
    WinHelpW(owner, m_helpFilePath.c_str(), HELP_FINDER, 0);
}

int AfxMessageBox(const std::string& text, UINT type) {
    // A box that names no icon gets the exclamation icon.
    if ((type & MB_ICONMASK) == 0) type |= MB_ICONEXCLAMATION;
    CWinApp* app = AfxGetApp();
    return MessageBoxA(AfxGetSafeOwner(), text.c_str(), app ? app->m_appName.c_str() : "", type);
}

int AfxMessageBox(UINT stringId, UINT type) { return AfxMessageBox(LoadResString(stringId), type); }

void CWinApp::OnOutOfMemory() { AfxMessageBox("Out of memory.", MB_OK | MB_ICONSTOP); }

void ReportUnhandledException(std::exception_ptr error) noexcept {
    try {
        try {
            std::rethrow_exception(error);
        } catch (const std::bad_alloc&) {
            if (CWinApp* app = AfxGetApp()) app->OnOutOfMemory();
        } catch (const std::exception& e) {
            AfxMessageBox(e.what(), MB_OK | MB_ICONSTOP);
        } catch (...) {
            AfxMessageBox("Unexpected error.", MB_OK | MB_ICONSTOP);
        }
    } catch (...) {
        // The report itself failed (no memory for its text): nothing more can be said.
    }
}
