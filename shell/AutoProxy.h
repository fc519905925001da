// CTravokDlgAutoProxy: the automation object "Travok.Application", whose methods run the
// increment key coder on a client's strings and open the About box.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "framework/Dispatch.h"

// {7C3B5A10-4E2F-11D4-8B91-00A0C95E3D27}
inline constexpr CLSID CLSID_TravokApplication = {
    0x7C3B5A10, 0x4E2F, 0x11D4, {0x8B, 0x91, 0x00, 0xA0, 0xC9, 0x5E, 0x3D, 0x27}};
// {7C3B5A12-4E2F-11D4-8B91-00A0C95E3D27}: the object's dispatch interface
inline constexpr IID DIID_ITravok = {0x7C3B5A12, 0x4E2F, 0x11D4, {0x8B, 0x91, 0x00, 0xA0, 0xC9, 0x5E, 0x3D, 0x27}};
inline constexpr char kTravokProgId[] = "Travok.Application";

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
    // The dispatch members; they never touch the coding page.
    BSTR CodeWithKey(std::string_view text, std::string_view key);
    BSTR DeCodeWithKey(std::string_view text, std::string_view key);
    void About();

    static const DispEntry kDispatchTable[];
    static const InterfaceEntry kInterfaceTable[];
};
