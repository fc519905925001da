// The window message filter, looked up in user32 at run time: a direct import would keep
// the program from loading on a system without it.
#include "MessageFilter.h"

namespace {

WindowMessageFilter SystemFilter() {
    HMODULE user32 = GetModuleHandleW(L"user32.dll");
    return user32 ? reinterpret_cast<WindowMessageFilter>(
                        reinterpret_cast<void*>(GetProcAddress(user32, "ChangeWindowMessageFilterEx")))
                  : nullptr;
}

WindowMessageFilter& Filter() {
    static WindowMessageFilter filter = SystemFilter();
    return filter;
}

}  // namespace

bool AllowMessageFromLowerIntegrity(HWND window, UINT message) {
    WindowMessageFilter filter = Filter();
    return !filter || filter(window, message, MSGFLT_ALLOW, nullptr);
}

WindowMessageFilter SetWindowMessageFilter(WindowMessageFilter filter) {
    WindowMessageFilter before = Filter();
    Filter() = filter;
    return before;
}
