// Owners for what tests open from Windows: kernel handles (the program's own owner) and
// GDI objects, given back when the owner goes, on every way out of a test.
#pragma once

#include <windows.h>

#include <memory>
#include <type_traits>

#include "framework/Handles.h"

namespace travok::test {

using ::UniqueHandle;

struct GdiObjectDeleter {
    void operator()(HGDIOBJ object) const { DeleteObject(object); }
};
// A bitmap, brush or other GDI object. Declare it before a memory DC it is selected
// into, so the DC goes first.
template <class Object>
using UniqueGdiObject = std::unique_ptr<std::remove_pointer_t<Object>, GdiObjectDeleter>;

struct DcDeleter {
    void operator()(HDC dc) const { DeleteDC(dc); }
};
// A memory DC from CreateCompatibleDC.
using UniqueMemoryDc = std::unique_ptr<std::remove_pointer_t<HDC>, DcDeleter>;

// The screen's DC while the object lives.
class ScreenDc {
public:
    ScreenDc() : m_dc(GetDC(nullptr)) {}
    ~ScreenDc() { ReleaseDC(nullptr, m_dc); }
    ScreenDc(const ScreenDc&) = delete;
    ScreenDc& operator=(const ScreenDc&) = delete;
    HDC Get() const { return m_dc; }

private:
    HDC m_dc;
};

}  // namespace travok::test
