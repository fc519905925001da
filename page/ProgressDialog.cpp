// The progress dialog of a long file run, and the run on a thread of its own behind it.
#include "ProgressDialog.h"

#include <shlwapi.h>
#include <shobjidl.h>

#include <atomic>
#include <exception>
#include <thread>

#include "framework/Dialog.h"
#include "framework/Handles.h"
#include "framework/String.h"
#include "framework/WinApp.h"
#include "res/resource.h"

namespace {

constexpr UINT_PTR kTimer = 1;
constexpr UINT kTickMs = 50;            // how often the dialog looks at the run
constexpr DWORD kQuietMs = 500;         // a run shorter than this shows no dialog
constexpr int kBarRange = 1000;
// How long the end of the session waits for a stopped run to clean up.
constexpr DWORD kEndSessionWaitMs = 5000;
// Posted to the dialog when the run has ended: it closes at once, not at its next look.
constexpr UINT kRunEnded = WM_APP + 1;

std::wstring Size(std::uint64_t bytes) {
    wchar_t text[64] = {};
    StrFormatByteSizeW(static_cast<LONGLONG>(bytes), text, 64);
    return text;
}

std::wstring Duration(std::uint64_t seconds) {
    if (seconds < 60) return LoadResStringW(IDS_TIME_SECONDS, {std::to_wstring(seconds)});
    if (seconds < 3600) return LoadResStringW(IDS_TIME_MINUTES, {std::to_wstring(seconds / 60), std::to_wstring(seconds % 60)});
    return LoadResStringW(IDS_TIME_HOURS, {std::to_wstring(seconds / 3600), std::to_wstring(seconds / 60 % 60)});
}

// What the run's thread and the dialog share: the run's progress and stop request, an
// event set once the run has ended whatever its outcome, and the dialog's window, which
// the end wakes.
class RunState {
public:
    RunState(std::wstring fileName, bool decode, travok::RunProgress& progress)
        : m_fileName(std::move(fileName)), m_decode(decode), m_progress(progress),
          m_finished(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
        if (!m_finished) throw std::bad_alloc();
    }
    RunState(const RunState&) = delete;
    RunState& operator=(const RunState&) = delete;

    const std::wstring& FileName() const { return m_fileName; }
    bool Decode() const { return m_decode; }
    const travok::RunProgress& Progress() const { return m_progress; }

    // The run stops at its next block.
    void Stop() { m_progress.cancel = true; }

    // Called by the run's thread once the run has ended.
    void Finish() {
        SetEvent(m_finished.get());
        if (HWND dialog = m_window.load()) PostMessageW(dialog, kRunEnded, 0, 0);
    }
    bool Finished() const { return WaitForSingleObject(m_finished.get(), 0) == WAIT_OBJECT_0; }
    HANDLE FinishedEvent() const { return m_finished.get(); }

    // The dialog's window while it shows, nullptr once it goes: the run's end is posted
    // there.
    void ShowIn(HWND dialog) {
        m_window = dialog;
        // A run that ended before the window was left here is seen now.
        if (dialog && Finished()) PostMessageW(dialog, kRunEnded, 0, 0);
    }

private:
    const std::wstring m_fileName;
    const bool m_decode;
    travok::RunProgress& m_progress;
    UniqueHandle m_finished;
    std::atomic<HWND> m_window{nullptr};
};

// The modal window of a long run: the file's name, a bar, bytes done of the total, the
// speed, the time left, and Cancel. It closes itself when the run has finished.
class CProgressDlg : public CDialog {
public:
    explicit CProgressDlg(RunState& run) : CDialog(IDD_PROGRESS), m_run(run) {}

protected:
    std::span<const EventEntry> GetEventTable() const override;
    BOOL OnInitDialog() override;
    // The run's end and the timer. Unlike a plain dialog's, OK closes nothing: the dialog
    // closes only once the run has ended.
    BOOL OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    // Cancel, Esc and the close box: the run stops at its next block, and the dialog
    // closes once it has.
    void OnCancel();

    void Update();
    // "Coding <file>" or "Decoding <file>".
    std::wstring Headline() const {
        return LoadResStringW(m_run.Decode() ? IDS_PROGRESS_DECODING : IDS_PROGRESS_CODING, {m_run.FileName()});
    }
    void SetItemText(int id, const std::wstring& text) const { SetDlgItemTextW(m_hWnd, id, text.c_str()); }
    HWND Owner() const { return GetWindow(m_hWnd, GW_OWNER); }

    RunState& m_run;
    ComPtr<ITaskbarList3> m_taskbar;
};

std::span<const CDialog::EventEntry> CProgressDlg::GetEventTable() const {
    static const EventEntry kEvents[] = {
        OnClicked(IDCANCEL, &CProgressDlg::OnCancel),
    };
    return kEvents;
}

BOOL CProgressDlg::OnInitDialog() {
    // Centred on the window it belongs to, where the user's eyes are.
    RECT owner{}, own{};
    if (GetWindowRect(Owner(), &owner) && GetWindowRect(m_hWnd, &own)) {
        const int width = own.right - own.left, height = own.bottom - own.top;
        SetWindowPos(m_hWnd, nullptr, (owner.left + owner.right - width) / 2, (owner.top + owner.bottom - height) / 2, 0,
                     0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    SetItemText(IDC_PROGRESS_FILE, Headline());
    HWND bar = GetDlgItem(m_hWnd, IDC_PROGRESS_BAR);
    if (m_run.Progress().total == 0) {
        // No size known beforehand (a pipe): the bar only shows that the run goes on.
        SetWindowLongPtrW(bar, GWL_STYLE, GetWindowLongPtrW(bar, GWL_STYLE) | PBS_MARQUEE);
        SendMessageW(bar, PBM_SETMARQUEE, TRUE, 0);
    } else {
        SendMessageW(bar, PBM_SETRANGE32, 0, kBarRange);
    }
    // The taskbar button shows the progress too, where the system offers it. HrInit
    // comes before any other call, as the interface requires.
    if (FAILED(CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskbarList3,
                                m_taskbar.PutVoid())) ||
        FAILED(m_taskbar->HrInit()))
        m_taskbar.Reset();
    Update();
    SetTimer(m_hWnd, kTimer, kTickMs, nullptr);
    m_run.ShowIn(m_hWnd);
    return TRUE;
}

BOOL CProgressDlg::OnMessage(UINT message, WPARAM wParam, LPARAM, LRESULT& result) {
    switch (message) {
    case kRunEnded:
    case WM_TIMER:
        // A window above the dialog (a client's About box) disables it. EndDialog would
        // enable the main window under that box at once, so the dialog stays until the
        // box has gone, and a later look closes it.
        if (m_run.Finished() && IsWindowEnabled(m_hWnd)) {
            EndDialog(m_hWnd, IDOK);
        } else {
            Update();
        }
        return TRUE;
    case WM_QUERYENDSESSION:
        // Windows is to end the session during the run: the user is shown why this
        // program holds it up, and chooses.
        ShutdownBlockReasonCreate(Owner(), Headline().c_str());
        result = FALSE;
        return TRUE;
    case WM_ENDSESSION:
        if (wParam) {
            // The session ends, and the process with it, soon after this returns: the run
            // is stopped, and its temporary file removed, first.
            m_run.Stop();
            WaitForSingleObject(m_run.FinishedEvent(), kEndSessionWaitMs);
        } else {
            ShutdownBlockReasonDestroy(Owner());
        }
        return TRUE;
    case WM_DESTROY:
        ShutdownBlockReasonDestroy(Owner());
        m_run.ShowIn(nullptr);
        KillTimer(m_hWnd, kTimer);
        if (m_taskbar) m_taskbar->SetProgressState(Owner(), TBPF_NOPROGRESS);
        m_taskbar.Reset();
        return FALSE;
    default:
        return FALSE;
    }
}

void CProgressDlg::OnCancel() {
    m_run.Stop();
    EnableWindow(GetDlgItem(m_hWnd, IDCANCEL), FALSE);
}

void CProgressDlg::Update() {
    const travok::RunFigures figures = m_run.Progress().Figures();
    const std::uint64_t done = figures.done, total = figures.total;
    if (total) {
        const int position = static_cast<int>(std::min(done, total) * kBarRange / total);
        SendDlgItemMessageW(m_hWnd, IDC_PROGRESS_BAR, PBM_SETPOS, static_cast<WPARAM>(position), 0);
        if (m_taskbar) m_taskbar->SetProgressValue(Owner(), done, total);
        SetItemText(IDC_PROGRESS_BYTES, LoadResStringW(IDS_PROGRESS_BYTES, {Size(done), Size(total)}));
        SetItemText(IDC_PROGRESS_LEFT,
                    figures.secondsLeft ? LoadResStringW(IDS_PROGRESS_LEFT, {Duration(*figures.secondsLeft)}) : L"");
    } else {
        if (m_taskbar) m_taskbar->SetProgressState(Owner(), TBPF_INDETERMINATE);
        SetItemText(IDC_PROGRESS_BYTES, LoadResStringW(IDS_PROGRESS_BYTES_SO_FAR, {Size(done)}));
    }
    SetItemText(IDC_PROGRESS_SPEED,
                figures.bytesPerSecond ? LoadResStringW(IDS_PROGRESS_SPEED, {Size(figures.bytesPerSecond)}) : L"");
}

// The run on a thread of its own. It is joined on every way out: leaving before the run
// has finished first stops it.
class Worker {
public:
    Worker(RunState& run, const std::function<bool()>& work)
        : m_run(run), m_thread([this, &work] {
              try {
                  m_result = work();
              } catch (...) {
                  m_error = std::current_exception();
              }
              m_run.Finish();
          }) {}
    ~Worker() {
        if (!m_run.Finished()) m_run.Stop();
        m_thread.join();
    }
    Worker(const Worker&) = delete;
    Worker& operator=(const Worker&) = delete;

    // Once the run has finished: what work returned, or what it raised, raised again.
    bool Result() const {
        if (m_error) std::rethrow_exception(m_error);
        return m_result;
    }

private:
    RunState& m_run;
    bool m_result = false;
    std::exception_ptr m_error;
    std::thread m_thread;  // last: it starts once the rest is ready
};

// Waits up to timeoutMs for finished while the thread's messages are served: the window
// repaints and automation calls are answered. The owner is disabled meanwhile, as under
// a modal dialog, so that no click starts anything. Returns whether finished was set.
bool WaitServingMessages(HANDLE finished, HWND owner, DWORD timeoutMs) {
    const bool wasEnabled = owner && !EnableWindow(owner, FALSE);
    const DWORD start = GetTickCount();
    bool done = false;
    for (;;) {
        const DWORD elapsed = GetTickCount() - start;
        if (elapsed >= timeoutMs) break;
        const DWORD woke = MsgWaitForMultipleObjects(1, &finished, FALSE, timeoutMs - elapsed, QS_ALLINPUT);
        if (woke == WAIT_OBJECT_0) {
            done = true;
            break;
        }
        if (woke != WAIT_OBJECT_0 + 1) break;
        MSG msg;
        bool quit = false;
        while (!quit && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                PostQuitMessage(static_cast<int>(msg.wParam));  // for the loop that owns it
                quit = true;
            } else {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
        }
        if (quit) break;
    }
    if (wasEnabled) EnableWindow(owner, TRUE);
    return done || WaitForSingleObject(finished, 0) == WAIT_OBJECT_0;
}

}  // namespace

bool RunWithProgress(const std::wstring& fileName, bool decode, travok::RunProgress& progress,
                     const std::function<bool()>& work) {
    RunState run(fileName, decode, progress);
    Worker worker(run, work);
    if (!WaitServingMessages(run.FinishedEvent(), AfxGetSafeOwner(), kQuietMs)) {
        CProgressDlg dialog(run);
        // Owned by the main window; its loop serves the window and automation calls. A
        // dialog that could not show leaves the wait below to the run's end.
        dialog.DoModal();
    }
    WaitForSingleObject(run.FinishedEvent(), INFINITE);
    return worker.Result();
}
