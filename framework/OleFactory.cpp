// OLE for the application's run, the live-object count and its lifetime rule, and the
// class factory list with each factory's class object.
#include "OleFactory.h"

#include <algorithm>
#include <new>

#include "WinApp.h"
#include "WineLateAnswers.h"

COleRuntime::COleRuntime() : m_initialized(SUCCEEDED(OleInitialize(nullptr))) {}

COleRuntime::~COleRuntime() {
    if (!m_initialized) return;
    COleObjectFactory::RevokeAll();
    WaitForLateAnswersUnderWine();
    OleUninitialize();
}

COleRuntime AfxOleInit() { return COleRuntime(); }

void AfxOleLockApp() {
    if (CWinApp* app = AfxGetApp()) InterlockedIncrement(&app->m_nObjectCount);
}

void AfxOleUnlockApp() {
    CWinApp* app = AfxGetApp();
    if (!app) return;
    if (InterlockedDecrement(&app->m_nObjectCount) != 0 || app->m_bUserCtrl) return;
    app->m_bUserCtrl = true;
    HWND main = app->m_pMainWnd ? app->m_pMainWnd->m_hWnd : nullptr;
    if (main && IsWindow(main)) {
        // A disabled main window has a modal window open above it: the user is busy
        // there, so the program stays, now under the user's control.
        if (IsWindowEnabled(main)) DestroyWindow(main);
    } else {
        PostQuitMessage(0);
    }
}

std::vector<COleObjectFactory*>& COleObjectFactory::List() {
    // A function-local list: factories are global objects and join it during static
    // construction, in whatever order the linker chose.
    static std::vector<COleObjectFactory*> list;
    return list;
}

COleObjectFactory::COleObjectFactory(REFCLSID clsid, const CRuntimeClass* runtimeClass, BOOL multipleInstances,
                                     const char* progId)
    : m_clsid(clsid), m_pRuntimeClass(runtimeClass), m_bMultiInstance(multipleInstances),
      m_progId(progId ? progId : "") {
    List().push_back(this);
}

COleObjectFactory::~COleObjectFactory() {
    Revoke();
    auto& list = List();
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
}

BOOL COleObjectFactory::RegisterAll() {
    BOOL all = TRUE;
    for (COleObjectFactory* factory : List()) {
        if (factory->IsRegistered() || IsEqualCLSID(factory->m_clsid, CLSID_NULL)) continue;
        if (!factory->Register()) all = FALSE;
    }
    return all;
}

BOOL COleObjectFactory::UpdateRegistryAll(BOOL bRegister) {
    for (COleObjectFactory* factory : List()) factory->UpdateRegistry(bRegister);
    return TRUE;
}

void COleObjectFactory::RevokeAll() {
    for (COleObjectFactory* factory : List()) factory->Revoke();
}

BOOL COleObjectFactory::Register() {
    if (IsRegistered()) return TRUE;
    // Single use: the runtime hands this class object out once and starts a further
    // instance of the program for every later request.
    const DWORD use = m_bMultiInstance ? REGCLS_SINGLEUSE : REGCLS_MULTIPLEUSE;
    DWORD cookie = 0;
    if (FAILED(CoRegisterClassObject(m_clsid, &m_xClassFactory, CLSCTX_LOCAL_SERVER, use, &cookie))) return FALSE;
    m_dwRegister = cookie;
    return TRUE;
}

void COleObjectFactory::Revoke() {
    if (!IsRegistered()) return;
    CoRevokeClassObject(m_dwRegister);
    m_dwRegister = 0;
}

BOOL COleObjectFactory::UpdateRegistry(BOOL) { return TRUE; }

HRESULT COleObjectFactory::CreateInstance(IUnknown* outer, REFIID iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!m_pRuntimeClass) return E_UNEXPECTED;
    CCmdTarget* object = nullptr;
    try {
        object = m_pRuntimeClass->CreateObject();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
    if (!object) return E_OUTOFMEMORY;
    // The object was made before these checks, so a refused request releases it, and
    // its going counts for the program's lifetime like any other object's.
    HRESULT hr = outer ? CLASS_E_NOAGGREGATION : object->ExternalQueryInterface(iid, out);
    object->ExternalRelease();  // the creator's reference; the client's, if any, remains
    return hr;
}

HRESULT COleObjectFactory::XClassFactory::QueryInterface(REFIID iid, void** out) {
    if (!out) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
        *out = static_cast<IClassFactory*>(this);
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

HRESULT COleObjectFactory::XClassFactory::CreateInstance(IUnknown* outer, REFIID iid, void** out) {
    try {
        return m_owner.CreateInstance(outer, iid, out);
    } catch (...) {
        return E_UNEXPECTED;
    }
}

HRESULT COleObjectFactory::XClassFactory::LockServer(BOOL lock) {
    // A client that locks the server keeps it running like an object would.
    if (lock) {
        AfxOleLockApp();
    } else {
        AfxOleUnlockApp();
    }
    return S_OK;
}
