// The window message filter, looked up in user32 at run time (Windows 7 added it).
#include "MessageFilter.h"

#include "DllFunction.h"

namespace {

WindowMessageFilter& Filter() {
    static WindowMessageFilter filter =
        LoadedDllFunction<WindowMessageFilter>(L"user32.dll", "ChangeWindowMessageFilterEx");
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
