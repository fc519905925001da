// Messages that may reach a window from processes of lower integrity. Windows' user
// interface privilege isolation drops most messages that such a process (Explorer, when
// the program runs elevated) sends or posts to a window of a higher one.
#pragma once

#include "Win.h"

// The system call that changes one window's filter: ChangeWindowMessageFilterEx's shape.
using WindowMessageFilter = BOOL(WINAPI*)(HWND window, UINT message, DWORD action, PCHANGEFILTERSTRUCT status);

// Lets message through to window from any process; false when the system refused it.
// Where the system has no filter call (before Windows 7) there is nothing to change.
bool AllowMessageFromLowerIntegrity(HWND window, UINT message);

// Puts filter in the system call's place (nullptr: as if the system had none) and returns
// the one before, so that tests can see the calls.
WindowMessageFilter SetWindowMessageFilter(WindowMessageFilter filter);
