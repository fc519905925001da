// The progress dialog of a long file run, and the run on a thread of its own behind it.
#include "ProgressDialog.h"

#include <shlwapi.h>
#include <shobjidl.h>

#include <exception>
#include <thread>

#include "framework/String.h"
#include "framework/WinApp.h"
#include "res/resource.h"

namespace {

constexpr UINT_PTR kTimer = 1;
constexpr UINT kTickMs = 50;            // how often the dialog looks at the run
constexpr DWORD kQuietMs = 500;         // a run shorter than this shows no dialog
constexpr int kBarRange = 1000;

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

}  // namespace

CProgressDlg::CProgressDlg(std::wstring fileName, bool decode, travok::RunProgress& progress, HANDLE finished,
                           DWORD started, std::atomic<HWND>& window)
    : CDialog(IDD_PROGRESS), m_fileName(std::move(fileName)), m_decode(decode), m_progress(progress),
      m_finished(finished), m_start(started), m_window(window) {}

BOOL CProgressDlg::OnInitDialog() {
    // Centred on the window it belongs to, where the user's eyes are.
    RECT owner{}, own{};
    if (GetWindowRect(GetWindow(m_hWnd, GW_OWNER), &owner) && GetWindowRect(m_hWnd, &own)) {
        const int width = own.right - own.left, height = own.bottom - own.top;
        SetWindowPos(m_hWnd, nullptr, (owner.left + owner.right - width) / 2, (owner.top + owner.bottom - height) / 2, 0,
                     0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    SetItemText(IDC_PROGRESS_FILE, LoadResStringW(m_decode ? IDS_PROGRESS_DECODING : IDS_PROGRESS_CODING, {m_fileName}));
    HWND bar = GetDlgItem(m_hWnd, IDC_PROGRESS_BAR);
    if (m_progress.total == 0) {
        // No size known beforehand (a pipe): the bar only shows that the run goes on.
        SetWindowLongPtrW(bar, GWL_STYLE, GetWindowLongPtrW(bar, GWL_STYLE) | PBS_MARQUEE);
        SendMessageW(bar, PBM_SETMARQUEE, TRUE, 0);
    } else {
        SendMessageW(bar, PBM_SETRANGE32, 0, kBarRange);
    }
    // The taskbar button shows the progress too, where the system offers it.
    if (FAILED(CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskbarList3,
                                reinterpret_cast<void**>(&m_taskbar))))
        m_taskbar = nullptr;
    Update();
    SetTimer(m_hWnd, kTimer, kTickMs, nullptr);
    m_window = m_hWnd;
    // A run that ended before the handle was left here is seen now.
    if (WaitForSingleObject(m_finished, 0) == WAIT_OBJECT_0) PostMessageW(m_hWnd, kRunEnded, 0, 0);
    return TRUE;
}

BOOL CProgressDlg::OnMessage(UINT message, WPARAM wParam, LPARAM, LRESULT&) {
    switch (message) {
    case kRunEnded:
    case WM_TIMER:
        if (WaitForSingleObject(m_finished, 0) == WAIT_OBJECT_0) {
            EndDialog(m_hWnd, IDOK);
        } else {
            Update();
        }
        return TRUE;
    case WM_COMMAND:
        // Cancel, Esc and the close box: the run stops at its next block, and the dialog
        // closes once it has.
        if (LOWORD(wParam) == IDCANCEL) OnCancel();
        return LOWORD(wParam) == IDCANCEL || LOWORD(wParam) == IDOK;
    case WM_DESTROY:
        m_window = nullptr;
        KillTimer(m_hWnd, kTimer);
        if (m_taskbar) {
            HWND owner = GetWindow(m_hWnd, GW_OWNER);
            m_taskbar->SetProgressState(owner, TBPF_NOPROGRESS);
            m_taskbar->Release();
            m_taskbar = nullptr;
        }
        return FALSE;
    default:
        return FALSE;
    }
}

void CProgressDlg::OnCancel() {
    m_progress.cancel = true;
    EnableWindow(GetDlgItem(m_hWnd, IDCANCEL), FALSE);
}

void CProgressDlg::Update() {
    const std::uint64_t done = m_progress.done, total = m_progress.total;
    const DWORD elapsedMs = GetTickCount() - m_start;
    const std::uint64_t speed = elapsedMs ? done * 1000 / elapsedMs : 0;

    if (total) {
        const int position = static_cast<int>(std::min<std::uint64_t>(done, total) * kBarRange / total);
        SendDlgItemMessageW(m_hWnd, IDC_PROGRESS_BAR, PBM_SETPOS, static_cast<WPARAM>(position), 0);
        if (m_taskbar) m_taskbar->SetProgressValue(GetWindow(m_hWnd, GW_OWNER), done, total);
        SetItemText(IDC_PROGRESS_BYTES, LoadResStringW(IDS_PROGRESS_BYTES, {Size(done), Size(total)}));
        SetItemText(IDC_PROGRESS_LEFT,
                    speed && done <= total ? LoadResStringW(IDS_PROGRESS_LEFT, {Duration((total - done) / speed)}) : L"");
    } else {
        if (m_taskbar) m_taskbar->SetProgressState(GetWindow(m_hWnd, GW_OWNER), TBPF_INDETERMINATE);
        SetItemText(IDC_PROGRESS_BYTES, LoadResStringW(IDS_PROGRESS_BYTES_SO_FAR, {Size(done)}));
    }
    SetItemText(IDC_PROGRESS_SPEED, speed ? LoadResStringW(IDS_PROGRESS_SPEED, {Size(speed)}) : L"");
}

void CProgressDlg::SetItemText(int id, const std::wstring& text) const {
    SetDlgItemTextW(m_hWnd, id, text.c_str());
}

namespace {

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
    const DWORD started = GetTickCount();
    HANDLE finished = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!finished) throw std::bad_alloc();
    bool result = false;
    std::exception_ptr error;
    std::atomic<HWND> window{nullptr};
    std::thread worker([&] {
        try {
            result = work();
        } catch (...) {
            error = std::current_exception();
        }
        SetEvent(finished);
        if (HWND dialog = window.load()) PostMessageW(dialog, CProgressDlg::kRunEnded, 0, 0);
    });
    // The worker is joined on every way out: a failure here first stops the run.
    struct Joiner {
        std::thread& worker;
        travok::RunProgress& progress;
        HANDLE finished;
        ~Joiner() {
            if (WaitForSingleObject(finished, 0) != WAIT_OBJECT_0) progress.cancel = true;
            worker.join();
            CloseHandle(finished);
        }
    } joiner{worker, progress, finished};

    if (!WaitServingMessages(finished, AfxGetSafeOwner(), kQuietMs)) {
        CProgressDlg dialog(fileName, decode, progress, finished, started, window);
        // Owned by the main window; its loop serves the window and automation calls. A
        // dialog that could not show leaves the wait below to the run's end.
        dialog.DoModal();
    }
    WaitForSingleObject(finished, INFINITE);
    if (error) std::rethrow_exception(error);
    return result;
}
