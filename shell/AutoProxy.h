// CTravokDlgAutoProxy: the automation object "Travok.Application", whose methods run the
// increment key coder on a client's strings and open the About box.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "framework/Dispatch.h"
#include "shell/ServerIds.h"

class CTravokDlgAutoProxy : public CCmdTarget {
public:
    // Counts as a live object of the program from construction to destruction.
    CTravokDlgAutoProxy();
    ~CTravokDlgAutoProxy() override;

    static const CRuntimeClass classCTravokDlgAutoProxy;

protected:
    void OnFinalRelease() override;
    std::span<const DispEntry> GetDispatchTable() const override;
    std::span<const InterfaceEntry> GetInterfaceTable() const override;
    std::string GetErrorSource() const override;
    std::string GetErrorDescription(HRESULT scode) const override;

private:
    // The dispatch members; they never touch the coding page. A coded text comes in as
    // the client's own string, read as a byte text.
    BSTR CodeWithKey(std::string_view text, std::string_view key);
    BSTR DeCodeWithKey(std::wstring_view text, std::string_view key);
    void About();

    static const DispEntry kDispatchTable[];
    static const InterfaceEntry kInterfaceTable[];
};
