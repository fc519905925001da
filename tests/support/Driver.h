// Drives the real Travok.exe from a test: starts it, finds its windows, types into its
// boxes, clicks its buttons, and reads and closes the message boxes it shows.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "ChildProcess.h"

namespace travok::test {

// How long a test waits for something that must happen before it calls it missing. A
// safety net only: what is awaited takes a second or two on a quiet machine, and the
// net holds on a machine many times slower.
constexpr DWORD kSafetyNetMs = 60000;

// Polls pred every pollMs until it holds or timeoutMs has passed; returns its last value.
bool WaitFor(const std::function<bool()>& pred, DWORD timeoutMs = kSafetyNetMs, DWORD pollMs = 10);

std::string ExeDir();         // the folder of the running test program, with a final '\'
std::string TravokExePath();  // Travok.exe of the same build

std::string GetText(HWND hwnd);
void SetText(HWND hwnd, const std::string& text);
// The same, exactly as the window holds the text, for names outside the code page.
std::wstring GetTextW(HWND hwnd);
void SetTextW(HWND hwnd, const std::wstring& text);
bool IsChecked(HWND button);

// The shown top-level windows of process pid of class className (dialogs unless told;
// nullptr: any class), topmost first.
std::vector<HWND> TopLevelWindows(DWORD pid, const char* className = "#32770");

// The progress dialog of a long run in process pid, once it shows; nullptr when none does.
HWND ProgressDialogOf(DWORD pid);

struct SeenBox {
    HWND hwnd = nullptr;
    std::string caption;
    std::string text;
    std::wstring textW;  // the same text, every character kept
    LPCSTR icon = nullptr;  // IDI_HAND, IDI_ASTERISK, IDI_EXCLAMATION, IDI_QUESTION or nullptr
};

// hwnd read as a box that a person reads and dismisses (a message box, the About box):
// shown, with a caption, a text and an OK or Cancel button, and no progress bar. Nothing
// for any other window, or for one that closed while it was read.
std::optional<SeenBox> ReadBox(HWND hwnd);

class TravokProcess {
public:
    // Starts Travok.exe (or the copy at exe) with args and waits for its sheet ("Travok")
    // to show.
    explicit TravokProcess(const std::string& args = "", const std::wstring& exe = L"");
    ~TravokProcess();  // closes the program, and ends it if it does not go
    TravokProcess(const TravokProcess&) = delete;
    TravokProcess& operator=(const TravokProcess&) = delete;

    DWORD Pid() const { return m_process.Pid(); }
    HANDLE Handle() const { return m_process.Handle(); }
    HWND Sheet() const { return m_sheet; }
    HWND Page() const;
    HWND Item(int id) const;  // a control of the coding page

    // Returns once the UI thread has handled what was posted to it before, or is
    // waiting in a modal loop (a message box, a dialog).
    void Sync() const;

    // Top-level windows of the process other than the sheet, such as message boxes.
    std::vector<HWND> Popups() const;
    std::optional<SeenBox> FindBox() const;
    // Waits for a message box; fails the test when none comes.
    SeenBox WaitBox(DWORD timeoutMs = kSafetyNetMs) const;
    // Presses the box's OK button and waits until it is gone.
    void CloseBox(const SeenBox& box) const;

    // Clicks button, closes every message box the click shows, in order, and returns
    // them once the click's handler has finished.
    std::vector<SeenBox> ClickAndCollect(HWND button) const;
    // The same for any message sent to a window of the program.
    std::vector<SeenBox> SendAndCollect(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
    // Posted: returns at once, so a modal window the click opens does not block us.
    void Click(HWND button) const;
    // Returns when the click's handler has finished: for clicks that open no window.
    void ClickNow(HWND button) const;

    HWND Focus() const;  // the control with the keyboard focus in the program

    bool WaitExit(DWORD timeoutMs = kSafetyNetMs) const;

private:
    ChildProcess m_process;
    HWND m_sheet = nullptr;
};

// A click (or another message) whose handler runs modal windows that the test answers.
// It is sent from a thread of its own, so that Finish() knows exactly when the handler
// returned.
class PendingClick {
public:
    PendingClick(const TravokProcess& app, HWND window, UINT message = BM_CLICK, WPARAM wParam = 0,
                 LPARAM lParam = 0);
    ~PendingClick();  // cancels whatever is still open, then waits for the handler
    PendingClick(const PendingClick&) = delete;
    PendingClick& operator=(const PendingClick&) = delete;

    bool Done() const { return m_done; }
    // Closes each message box shown until the handler returns; returns them in order.
    std::vector<SeenBox> Finish();

private:
    const TravokProcess& m_app;
    std::atomic<bool> m_done{false};
    std::thread m_sender;
};

}  // namespace travok::test
