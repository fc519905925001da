// The automation runtime's set-up and the list of class factories that start-up
// registers as running or whose registry entries it refreshes.
#pragma once

#include <vector>

#include "Win.h"

// Initialises OLE for the UI thread; uninitialised again at program end.
BOOL AfxOleInit();

class COleObjectFactory {
public:
    COleObjectFactory();
    virtual ~COleObjectFactory();
    COleObjectFactory(const COleObjectFactory&) = delete;
    COleObjectFactory& operator=(const COleObjectFactory&) = delete;

    // Registers every factory of the list that is not registered yet; TRUE when all did.
    static BOOL RegisterAll();
    // Refreshes every factory's registry entries; a refresh always counts as done.
    static BOOL UpdateRegistryAll(BOOL bRegister);
    // Withdraws every registered class object.
    static void RevokeAll();

    virtual BOOL Register() { return TRUE; }
    virtual void Revoke() {}
    virtual BOOL UpdateRegistry(BOOL) { return TRUE; }

private:
    static std::vector<COleObjectFactory*>& List();
};
