// The console control handler behind StopRequest.
#include "StopRequest.h"

#include <atomic>
#include <new>

namespace travok::console {

namespace {

// A console control handler takes no context, so the one StopRequest of the process is
// reached through these.
std::atomic<HANDLE> g_stop{nullptr};
std::atomic<HANDLE> g_cleanedUp{nullptr};

// Called on a thread of its own (under Wine too, where SIGINT arrives as CTRL_C_EVENT).
BOOL WINAPI OnConsoleControl(DWORD type) {
    HANDLE stop = g_stop;
    if (!stop) return FALSE;
    switch (type) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
        SetEvent(stop);
        return TRUE;
    case CTRL_CLOSE_EVENT:
        // The system ends the process as soon as this returns: let the run remove its
        // temporary file first (the system allows a few seconds).
        SetEvent(stop);
        WaitForSingleObject(g_cleanedUp, 4000);
        return TRUE;
    default:
        return FALSE;
    }
}

}  // namespace

StopRequest::StopRequest()
    : m_stop(CreateEventW(nullptr, TRUE, FALSE, nullptr)), m_cleanedUp(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
    if (!m_stop || !m_cleanedUp) throw std::bad_alloc();
    g_stop = m_stop;
    g_cleanedUp = m_cleanedUp;
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

StopRequest::~StopRequest() {
    SetConsoleCtrlHandler(OnConsoleControl, FALSE);
    g_stop = nullptr;
    SetEvent(m_cleanedUp);
    // A handler still waiting holds the handle: it is left for the process's end.
}

}  // namespace travok::console
