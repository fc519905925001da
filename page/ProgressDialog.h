// CProgressDlg: the modal window of a long file run, owned by the sheet: the file's
// name, a bar, bytes done of the total, the speed, the time left, and Cancel. It closes
// itself when the run has finished.
#pragma once

#include <atomic>
#include <functional>
#include <string>

#include "engine/FileRun.h"
#include "framework/Dialog.h"

struct ITaskbarList3;

class CProgressDlg : public CDialog {
public:
    // finished: an event the run sets when it has ended, whatever the outcome; started:
    // the tick count when the run began, for its speed.
    // window: where the dialog leaves its handle, so that the run can wake it at its end.
    CProgressDlg(std::wstring fileName, bool decode, travok::RunProgress& progress, HANDLE finished, DWORD started,
                 std::atomic<HWND>& window);

    // Posted by the run when it has ended: the dialog closes at once, not at its next look.
    static constexpr UINT kRunEnded = WM_APP + 1;

protected:
    BOOL OnInitDialog() override;
    BOOL OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    void Update();
    void OnCancel();
    void SetItemText(int id, const std::wstring& text) const;

    std::wstring m_fileName;
    bool m_decode;
    travok::RunProgress& m_progress;
    HANDLE m_finished;
    DWORD m_start = 0;
    std::atomic<HWND>& m_window;
    ITaskbarList3* m_taskbar = nullptr;
};

// Runs work on a thread of its own while this thread waits for it. A run that lasts
// longer than about half a second shows the progress dialog, whose Cancel sets
// progress.cancel; a shorter one shows nothing. Returns what work returned, and raises
// what it raised.
bool RunWithProgress(const std::wstring& fileName, bool decode, travok::RunProgress& progress,
                     const std::function<bool()>& work);
