// The automation object's dispatch and interface tables, its methods, and the program's
// one class factory.
#include "AutoProxy.h"

#include "AboutBox.h"
#include "Codifica.h"
#include "ServerRegistry.h"
#include "coder/IncrementKey.h"
#include "framework/ByteText.h"
#include "framework/OleFactory.h"
#include "framework/String.h"
#include "res/resource.h"

namespace {

// The factory of "Travok.Application"; a user-started run refreshes its registry entries.
class CTravokObjectFactory final : public COleObjectFactory {
public:
    using COleObjectFactory::COleObjectFactory;

    BOOL UpdateRegistry(BOOL bRegister) override {
        if (bRegister) RefreshServerRegistry(GetClassID(), GetProgID());
        return TRUE;  // a failed write is not reported
    }
};

CTravokObjectFactory g_factory(CLSID_TravokApplication, &CTravokDlgAutoProxy::classCTravokDlgAutoProxy, TRUE,
                               kTravokProgId);

// Runs one coder operation; an empty key for a non-empty text has no shift to apply,
// which the client learns with the page's own message for it.
BSTR Code(BSTR (*operation)(std::string_view, std::string_view), std::string_view text, std::string_view key) {
    try {
        return operation(text, key);
    } catch (const travok::EmptyKeyError&) {
        throw COleDispatchException(E_INVALIDARG, LoadResString(IDS_NO_KEY));
    }
}

}  // namespace

const CRuntimeClass CTravokDlgAutoProxy::classCTravokDlgAutoProxy{&CreateCmdTarget<CTravokDlgAutoProxy>};

const DispEntry CTravokDlgAutoProxy::kDispatchTable[] = {
    DispFunction<&CTravokDlgAutoProxy::CodeWithKey>("CodeWithKey", VT_BSTR, {VT_BSTR, VT_BSTR}),
    DispFunction<&CTravokDlgAutoProxy::DeCodeWithKey>("DeCodeWithKey", VT_BSTR, {VT_BSTR, VT_BSTR}),
    DispFunction<&CTravokDlgAutoProxy::About>("About", VT_EMPTY, {}),
};

const InterfaceEntry CTravokDlgAutoProxy::kInterfaceTable[] = {
    {&DIID_ITravok},
};

CTravokDlgAutoProxy::CTravokDlgAutoProxy() {
    EnableAutomation();
    AfxOleLockApp();
}

CTravokDlgAutoProxy::~CTravokDlgAutoProxy() { AfxOleUnlockApp(); }

void CTravokDlgAutoProxy::OnFinalRelease() { CCmdTarget::OnFinalRelease(); }

std::span<const DispEntry> CTravokDlgAutoProxy::GetDispatchTable() const { return kDispatchTable; }

std::span<const InterfaceEntry> CTravokDlgAutoProxy::GetInterfaceTable() const { return kInterfaceTable; }

std::string CTravokDlgAutoProxy::GetErrorSource() const { return kTravokProgId; }

std::string CTravokDlgAutoProxy::GetErrorDescription(HRESULT scode) const {
    if (scode == E_OUTOFMEMORY) return LoadResString(IDS_OUT_OF_MEMORY);
    return CCmdTarget::GetErrorDescription(scode);
}

BSTR CTravokDlgAutoProxy::CodeWithKey(std::string_view text, std::string_view key) {
    return Code(Codifica, text, key);
}

BSTR CTravokDlgAutoProxy::DeCodeWithKey(std::wstring_view text, std::string_view key) {
    // A character outside the byte text becomes '?', as one outside the code page does in
    // CodeWithKey: clients keep that answer.
    return Code(DeCodifica, WideToBytes(text), key);
}

void CTravokDlgAutoProxy::About() { ShowAboutBox(); }
