// The factory list and OLE initialisation.
#include "OleFactory.h"

#include <algorithm>
#include <cstdlib>

namespace {
void OleTerm() { OleUninitialize(); }
}  // namespace

BOOL AfxOleInit() {
    if (FAILED(OleInitialize(nullptr))) return FALSE;
    std::atexit(OleTerm);
    return TRUE;
}

std::vector<COleObjectFactory*>& COleObjectFactory::List() {
    // A function-local list: factories are global objects and join it during static
    // construction, in whatever order the linker chose.
    static std::vector<COleObjectFactory*> list;
    return list;
}

COleObjectFactory::COleObjectFactory() { List().push_back(this); }

COleObjectFactory::~COleObjectFactory() {
    auto& list = List();
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
}

BOOL COleObjectFactory::RegisterAll() {
    BOOL all = TRUE;
    for (COleObjectFactory* factory : List())
        if (!factory->Register()) all = FALSE;
    return all;
}

BOOL COleObjectFactory::UpdateRegistryAll(BOOL bRegister) {
    for (COleObjectFactory* factory : List()) factory->UpdateRegistry(bRegister);
    return TRUE;
}

void COleObjectFactory::RevokeAll() {
    for (COleObjectFactory* factory : List()) factory->Revoke();
}
