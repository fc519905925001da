// The window driver used by the end-to-end tests.
#include "Driver.h"

#include <commctrl.h>

#include <atomic>
#include <thread>
#include <gtest/gtest.h>

#include "Handles.h"
#include "TempFiles.h"

namespace travok::test {

bool WaitFor(const std::function<bool()>& pred, DWORD timeoutMs, DWORD pollMs) {
    const DWORD start = GetTickCount();
    for (;;) {
        if (pred()) return true;
        if (GetTickCount() - start > timeoutMs) return pred();
        Sleep(pollMs);
    }
}

std::string ExeDir() {
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string dir(path, n);
    return dir.substr(0, dir.find_last_of('\\') + 1);
}

std::string TravokExePath() { return ExeDir() + "Travok.exe"; }

namespace {

// A message to a window of the program, sent with a timeout. A program that does not
// answer fails the test; a window that went meanwhile (a box closing) is no failure.
template <class Char>
DWORD_PTR SendTimed(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    DWORD_PTR result = 0;
    const auto send = sizeof(Char) == 1 ? SendMessageTimeoutA : SendMessageTimeoutW;
    if (!send(hwnd, message, wParam, lParam, SMTO_NORMAL, kSafetyNetMs, &result) && GetLastError() == ERROR_TIMEOUT)
        ADD_FAILURE() << "timed out: the program did not answer message 0x" << std::hex << message;
    return result;
}

template <class Char>
std::basic_string<Char> TextOf(HWND hwnd) {
    const DWORD_PTR length = SendTimed<Char>(hwnd, WM_GETTEXTLENGTH, 0, 0);
    std::basic_string<Char> text(length + 1, Char{});
    const DWORD_PTR got = SendTimed<Char>(hwnd, WM_GETTEXT, length + 1, reinterpret_cast<LPARAM>(text.data()));
    text.resize(std::min<DWORD_PTR>(got, length));
    return text;
}

}  // namespace

std::string GetText(HWND hwnd) { return TextOf<char>(hwnd); }
std::wstring GetTextW(HWND hwnd) { return TextOf<wchar_t>(hwnd); }

void SetText(HWND hwnd, const std::string& text) {
    SendTimed<char>(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void SetTextW(HWND hwnd, const std::wstring& text) {
    SendTimed<wchar_t>(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

bool IsChecked(HWND button) {
    DWORD_PTR state = 0;
    SendMessageTimeoutA(button, BM_GETCHECK, 0, 0, SMTO_NORMAL, kSafetyNetMs, &state);
    return state == BST_CHECKED;
}

namespace {

struct Search {
    DWORD pid;
    const char* className;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectTopLevel(HWND hwnd, LPARAM lParam) {
    auto* search = reinterpret_cast<Search*>(lParam);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    char cls[64] = {};
    GetClassNameA(hwnd, cls, sizeof cls);
    // Only shown ones: a box still being built has no texts yet.
    if (pid == search->pid && IsWindowVisible(hwnd) && (!search->className || strcmp(cls, search->className) == 0))
        search->found.push_back(hwnd);
    return TRUE;
}

}  // namespace

std::vector<HWND> TopLevelWindows(DWORD pid, const char* className) {
    Search search{pid, className, {}};
    EnumWindows(CollectTopLevel, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

namespace {

struct BoxParts {
    std::string text;
    std::wstring textW;
    HWND icon = nullptr;
};

BOOL CALLBACK CollectBoxParts(HWND child, LPARAM lParam) {
    auto* parts = reinterpret_cast<BoxParts*>(lParam);
    char cls[64] = {};
    GetClassNameA(child, cls, sizeof cls);
    if (_stricmp(cls, "Static") != 0) return TRUE;
    if ((GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
        parts->icon = child;
    } else {
        parts->text += GetText(child);
        parts->textW += GetTextW(child);
    }
    return TRUE;
}

// Which system icon the screen shows at rect, or nullptr when none does.
LPCSTR SystemIconAt(const RECT& rect) {
    const int size = GetSystemMetrics(SM_CXICON);
    const ScreenDc screen;
    const UniqueGdiObject<HBITMAP> shownBits(CreateCompatibleBitmap(screen.Get(), size, size));
    const UniqueMemoryDc shown(CreateCompatibleDC(screen.Get()));
    SelectObject(shown.get(), shownBits.get());
    BitBlt(shown.get(), 0, 0, size, size, screen.Get(), rect.left, rect.top, SRCCOPY);
    const COLORREF background = GetPixel(shown.get(), 0, 0);

    LPCSTR best = nullptr;
    int bestMatches = size * size * 9 / 10;  // at least 90 % of the pixels
    for (LPCSTR name : {IDI_HAND, IDI_ASTERISK, IDI_EXCLAMATION, IDI_QUESTION}) {
        const UniqueGdiObject<HBITMAP> drawnBits(CreateCompatibleBitmap(screen.Get(), size, size));
        const UniqueMemoryDc drawn(CreateCompatibleDC(screen.Get()));
        SelectObject(drawn.get(), drawnBits.get());
        const UniqueGdiObject<HBRUSH> brush(CreateSolidBrush(background));
        RECT all{0, 0, size, size};
        FillRect(drawn.get(), &all, brush.get());
        DrawIconEx(drawn.get(), 0, 0, LoadIconA(nullptr, name), size, size, 0, nullptr, DI_NORMAL);
        int matches = 0;
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x) matches += GetPixel(drawn.get(), x, y) == GetPixel(shown.get(), x, y);
        if (matches > bestMatches) {
            bestMatches = matches;
            best = name;
        }
    }
    return best;
}

// Which system icon an icon control of another process shows. Icon handles cannot be
// read across processes, so the control's pixels on the screen are compared with each
// system icon drawn here on the same background.
LPCSTR IconName(HWND iconControl) {
    if (!iconControl) return nullptr;
    // Paint it now: a box that was just shown may not have drawn its icon yet.
    RedrawWindow(iconControl, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    RECT rect;
    GetWindowRect(iconControl, &rect);
    // Wine paints into a surface of the other process and copies it to the X server a
    // little later: until then the screen can show the icon erased or half drawn.
    LPCSTR icon = nullptr;
    WaitFor([&] { return (icon = SystemIconAt(rect)) != nullptr; }, 1000, 20);
    return icon;
}

}  // namespace

TravokProcess::TravokProcess(const std::string& args, const std::wstring& exe) {
    std::wstring command = L'"' + (exe.empty() ? Wide(TravokExePath()) : exe) + L'"';
    if (!args.empty()) command.append(L" ").append(Wide(args));
    m_process = ChildProcess(command);
    if (!m_process) return;
    // Closing cancels what is open above the sheet, then the sheet itself; every dialog
    // is among the popups while no sheet was found.
    m_process.SetPoliteEnd([this] {
        for (HWND popup : Popups()) PostMessageA(popup, WM_COMMAND, IDCANCEL, 0);
        if (IsWindow(m_sheet)) PostMessageA(m_sheet, WM_COMMAND, IDCANCEL, 0);
    });
    // A start can be slow while other suites load the machine; a sheet that never shows
    // is reported with what the process shows instead, or how it ended.
    m_sheet = m_process.WaitWindow([this](HWND hwnd) {
        if (GetText(hwnd) != "Travok") return false;
        m_sheet = hwnd;  // the window that Page() asks
        return Page() != nullptr;
    }, kSafetyNetMs);
    if (m_sheet) return;
    std::string shown;
    for (HWND hwnd : TopLevelWindows(Pid(), nullptr)) {
        char cls[64] = {};
        GetClassNameA(hwnd, cls, sizeof cls);
        shown += std::string(" [") + cls + " \"" + GetText(hwnd) + "\"]";
    }
    const std::optional<DWORD> code = m_process.ExitCode();
    ADD_FAILURE() << "the Travok sheet did not show; "
                  << (!code ? "its windows:" + (shown.empty() ? std::string(" none") : shown)
                            : "it ended with " + std::to_string(*code));
}

TravokProcess::~TravokProcess() {
    if (!m_process.End()) ADD_FAILURE() << "Travok did not end; terminated it";
}

HWND TravokProcess::Page() const {
    if (!m_sheet) return nullptr;
    DWORD_PTR page = 0;
    SendMessageTimeoutA(m_sheet, PSM_GETCURRENTPAGEHWND, 0, 0, SMTO_NORMAL, kSafetyNetMs, &page);
    return reinterpret_cast<HWND>(page);
}

HWND TravokProcess::Item(int id) const { return GetDlgItem(Page(), id); }

void TravokProcess::Sync() const {
    DWORD_PTR result = 0;
    SendMessageTimeoutA(m_sheet, WM_NULL, 0, 0, SMTO_NORMAL, kSafetyNetMs, &result);
}

std::vector<HWND> TravokProcess::Popups() const {
    std::vector<HWND> popups;
    for (HWND hwnd : TopLevelWindows(Pid()))
        if (hwnd != m_sheet) popups.push_back(hwnd);
    return popups;
}

bool IsProgressDialog(HWND hwnd) { return FindWindowExA(hwnd, nullptr, PROGRESS_CLASSA, nullptr) != nullptr; }

HWND ProgressDialogOf(DWORD pid) {
    for (HWND hwnd : TopLevelWindows(pid))
        if (IsProgressDialog(hwnd)) return hwnd;
    return nullptr;
}

namespace {

// The button that dismisses a box: OK, or Cancel where it has no OK.
HWND DismissButton(HWND box) {
    HWND button = GetDlgItem(box, IDOK);
    return button ? button : GetDlgItem(box, IDCANCEL);
}

}  // namespace

std::optional<SeenBox> ReadBox(HWND hwnd) {
    // The progress dialog of a long run has a caption, a text and Cancel too, but it is
    // no box: it closes by itself when the run ends.
    if (!IsWindowVisible(hwnd) || IsProgressDialog(hwnd) || !DismissButton(hwnd)) return std::nullopt;
    BoxParts parts;
    EnumChildWindows(hwnd, CollectBoxParts, reinterpret_cast<LPARAM>(&parts));
    SeenBox box{hwnd, GetText(hwnd), parts.text, parts.textW, nullptr};
    // A window that closed while it was read (the progress dialog going, on a busy
    // machine) reads as an empty caption without text: only one still shown, and still
    // no progress dialog, is what was read.
    if (box.caption.empty() || box.text.empty() || !IsWindowVisible(hwnd) || IsProgressDialog(hwnd))
        return std::nullopt;
    box.icon = IconName(parts.icon);
    return box;
}

std::optional<SeenBox> TravokProcess::FindBox() const {
    for (HWND hwnd : Popups())
        if (std::optional<SeenBox> box = ReadBox(hwnd)) return box;
    return std::nullopt;
}

SeenBox TravokProcess::WaitBox(DWORD timeoutMs) const {
    std::optional<SeenBox> box;
    WaitFor([&] { return (box = FindBox()).has_value(); }, timeoutMs);
    if (!box) {
        ADD_FAILURE() << "no message box appeared";
        return {};
    }
    return *box;
}

void TravokProcess::CloseBox(const SeenBox& box) const {
    // Only a box is pressed: never a window that went meanwhile, nor one that is not a box.
    HWND button = IsProgressDialog(box.hwnd) ? nullptr : DismissButton(box.hwnd);
    if (!button) {
        if (IsWindow(box.hwnd)) ADD_FAILURE() << "no box to close: \"" << box.caption << "\" is not one";
        return;
    }
    PostMessageA(button, BM_CLICK, 0, 0);
    if (!WaitFor([&] { return !IsWindow(box.hwnd); })) ADD_FAILURE() << "the message box did not close";
}

void TravokProcess::Click(HWND button) const { PostMessageA(button, BM_CLICK, 0, 0); }

std::vector<SeenBox> TravokProcess::ClickAndCollect(HWND button) const { return SendAndCollect(button, BM_CLICK); }

std::vector<SeenBox> TravokProcess::SendAndCollect(HWND window, UINT message, WPARAM wParam, LPARAM lParam) const {
    return PendingClick(*this, window, message, wParam, lParam).Finish();
}

PendingClick::PendingClick(const TravokProcess& app, HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    : m_app(app) {
    m_sender = std::thread([this, window, message, wParam, lParam] {
        DWORD_PTR result = 0;
        SendMessageTimeoutW(window, message, wParam, lParam, SMTO_NORMAL, 300000, &result);
        m_done = true;
    });
}

PendingClick::~PendingClick() {
    // A test that failed half-way leaves windows open: cancel them so the handler ends.
    for (int i = 0; i < 200 && !m_done; ++i) {
        for (HWND popup : m_app.Popups()) PostMessageA(popup, WM_COMMAND, IDCANCEL, 0);
        WaitFor([&] { return m_done.load(); }, 100);
    }
    m_sender.join();
}

std::vector<SeenBox> PendingClick::Finish() {
    std::vector<SeenBox> seen;
    while (!m_done) {
        if (std::optional<SeenBox> box = m_app.FindBox()) {
            seen.push_back(*box);
            m_app.CloseBox(*box);
            if (seen.size() > 20) {
                ADD_FAILURE() << "message boxes keep coming";
                break;
            }
        }
        Sleep(5);
    }
    return seen;
}

void TravokProcess::ClickNow(HWND button) const {
    DWORD_PTR result = 0;
    SendMessageTimeoutA(button, BM_CLICK, 0, 0, SMTO_NORMAL, kSafetyNetMs, &result);
}

HWND TravokProcess::Focus() const {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(m_process.ThreadId(), &info);
    return info.hwndFocus;
}

bool TravokProcess::WaitExit(DWORD timeoutMs) const { return m_process.WaitExit(timeoutMs).has_value(); }

}  // namespace travok::test
