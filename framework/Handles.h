// Owners for what the program gets from Windows to give back: kernel handles, COM
// interface pointers and memory a call allocated with LocalAlloc. Each is given back when
// its owner goes, on every way out, exceptions included.
#pragma once

#include <windows.h>

#include <memory>
#include <type_traits>
#include <utility>

struct HandleCloser {
    void operator()(HANDLE handle) const {
        if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
    }
};
// A kernel handle (process, thread, file, event, pipe, snapshot); INVALID_HANDLE_VALUE is
// none.
using UniqueHandle = std::unique_ptr<void, HandleCloser>;

// An opaque handle that one function gives back (FindClose, DragFinish, ...): for
// HANDLE-typed ones the function decides, not CloseHandle. Null is none.
template <auto Release>
struct ReleaseWith {
    template <class Handle>
    void operator()(Handle handle) const {
        Release(handle);
    }
};
template <class Handle, auto Release>
using UniqueOwner = std::unique_ptr<std::remove_pointer_t<Handle>, ReleaseWith<Release>>;

// A search from FindFirstFileW. INVALID_HANDLE_VALUE is no search: keep it out.
using UniqueFind = UniqueOwner<HANDLE, FindClose>;

struct LocalFreer {
    void operator()(void* memory) const { LocalFree(memory); }
};
// Memory that a call such as FormatMessage or CommandLineToArgvW allocated for its caller.
template <class T>
using UniqueLocal = std::unique_ptr<T, LocalFreer>;

// One reference to a COM object, released when the owner goes.
template <class Interface>
class ComPtr {
public:
    ComPtr() = default;
    ~ComPtr() { Reset(); }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ComPtr(ComPtr&& other) noexcept : m_object(std::exchange(other.m_object, nullptr)) {}
    ComPtr& operator=(ComPtr&& other) noexcept {
        if (this != &other) {
            Reset();
            m_object = std::exchange(other.m_object, nullptr);
        }
        return *this;
    }

    Interface* Get() const { return m_object; }
    Interface* operator->() const { return m_object; }
    explicit operator bool() const { return m_object != nullptr; }

    // The place for a call that hands back a new reference (CoCreateInstance,
    // QueryInterface) to store it; what was held is released first.
    Interface** Put() {
        Reset();
        return &m_object;
    }
    void** PutVoid() { return reinterpret_cast<void**>(Put()); }
    void Reset() {
        if (m_object) std::exchange(m_object, nullptr)->Release();
    }

private:
    Interface* m_object = nullptr;
};
