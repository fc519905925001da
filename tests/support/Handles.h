// Owners for what tests open from Windows: kernel handles and GDI objects, given back
// when the owner goes, on every way out of a test.
#pragma once

#include <windows.h>

#include <memory>
#include <type_traits>

namespace travok::test {

struct HandleCloser {
    void operator()(HANDLE handle) const {
        if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
    }
};
// A kernel handle (process, thread, file, pipe, snapshot); INVALID_HANDLE_VALUE is none.
using UniqueHandle = std::unique_ptr<void, HandleCloser>;

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
