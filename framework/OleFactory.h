// OLE for the application's run, the application's live-object count with its
// lifetime rule, and the class factories that start-up registers as running or whose
// registry entries it refreshes.
#pragma once

#include <string>
#include <vector>

#include "Dispatch.h"
#include "Win.h"

// OLE on the UI thread while the object lives, which is the application's run: at its
// end every factory of the list withdraws its class object, calls still unanswered are
// let through, and OLE is uninitialised.
class COleRuntime {
public:
    COleRuntime();
    ~COleRuntime();
    COleRuntime(const COleRuntime&) = delete;
    COleRuntime& operator=(const COleRuntime&) = delete;

    // Whether OLE could be initialised; if not, the end does nothing.
    explicit operator bool() const { return m_initialized; }

private:
    bool m_initialized;
};

// Initialises OLE for the UI thread, for as long as the returned object lives.
[[nodiscard]] COleRuntime AfxOleInit();

// An automation object raises the application's live-object count while it exists.
void AfxOleLockApp();
// Lowers the count. When it reaches zero in a program that a client started, the user
// takes over: the main window is destroyed if it is enabled (which ends the program),
// left open if a modal window has disabled it, and with no main window the UI thread
// is asked to quit. This happens once; afterwards objects never end the program.
void AfxOleUnlockApp();

class COleObjectFactory {
public:
    // Joins the factory list. With multipleInstances every client gets a fresh instance
    // of the program: the class object is registered for single use.
    COleObjectFactory(REFCLSID clsid, const CRuntimeClass* runtimeClass, BOOL multipleInstances,
                      const char* progId);
    virtual ~COleObjectFactory();
    COleObjectFactory(const COleObjectFactory&) = delete;
    COleObjectFactory& operator=(const COleObjectFactory&) = delete;

    // Registers every factory of the list that is not registered yet and has a class
    // identifier; TRUE when all succeeded.
    static BOOL RegisterAll();
    // Refreshes every factory's registry entries; a refresh always counts as done.
    static BOOL UpdateRegistryAll(BOOL bRegister);
    // Withdraws every registered class object.
    static void RevokeAll();

    // Registers the class object with the automation runtime as a local server.
    virtual BOOL Register();
    virtual void Revoke();
    // Writes the factory's registry entries; this one has none of its own.
    virtual BOOL UpdateRegistry(BOOL bRegister);

    BOOL IsRegistered() const { return m_dwRegister != 0; }
    REFCLSID GetClassID() const { return m_clsid; }
    const std::string& GetProgID() const { return m_progId; }
    // The class object, as the automation runtime hands it to clients.
    IClassFactory* GetClassFactory() { return &m_xClassFactory; }

private:
    class XClassFactory final : public IClassFactory {
    public:
        explicit XClassFactory(COleObjectFactory& owner) : m_owner(owner) {}
        HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
        // The factory lives as long as the program: its references are not counted.
        ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
        ULONG STDMETHODCALLTYPE Release() override { return 1; }
        HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override;
        HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override;

    private:
        COleObjectFactory& m_owner;
    };

    HRESULT CreateInstance(IUnknown* outer, REFIID iid, void** out);
    static std::vector<COleObjectFactory*>& List();

    XClassFactory m_xClassFactory{*this};
    CLSID m_clsid;
    const CRuntimeClass* m_pRuntimeClass;
    BOOL m_bMultiInstance;
    std::string m_progId;
    DWORD m_dwRegister = 0;  // the runtime's cookie while registered
};
