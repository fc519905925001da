// CWinApp: application instance data, command-line switches, help and message boxes.
#include "WinApp.h"

#include <shellapi.h>

#include <cstring>
#include <new>
#include <utility>

#include "CallbackGuard.h"
#include "Path.h"
#include "String.h"

namespace {
CWinApp* g_app = nullptr;

DWORD OpenWithShell(HWND owner, const std::wstring& path) {
    // Above 32 is success; below, one of the old error numbers, which the call also
    // leaves as the thread's last error in the system's own terms.
    SetLastError(NO_ERROR);
    const auto result =
        reinterpret_cast<INT_PTR>(ShellExecuteW(owner, nullptr, path.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    if (result > 32) return NO_ERROR;
    const DWORD error = GetLastError();
    return error != NO_ERROR ? error : static_cast<DWORD>(result == 0 ? ERROR_OUTOFMEMORY : result);
}

DocumentOpener g_openDocument = OpenWithShell;
}  // namespace

DocumentOpener SetDocumentOpener(DocumentOpener opener) { return std::exchange(g_openDocument, opener); }

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
    m_helpFilePath = exe.substr(0, dot) + L".html";

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
    // Windows has had no viewer for the old help files since Vista: the help is a web
    // page, which every system opens. A missing page is told, not left to the viewer.
    const DWORD attributes = GetFileAttributesW(ExtendedLengthPath(m_helpFilePath).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        OnHelpUnavailable(ERROR_FILE_NOT_FOUND);
        return;
    }
    const DWORD error = g_openDocument ? g_openDocument(AfxGetSafeOwner(), m_helpFilePath) : ERROR_NO_ASSOCIATION;
    if (error != NO_ERROR) OnHelpUnavailable(error);
}

void CWinApp::OnHelpUnavailable(DWORD error) {
    AfxMessageBox(WideToAnsi(L"The help page " + m_helpFilePath + L" could not be opened (error " +
                             std::to_wstring(error) + L")."));
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
