// Driving the common file dialogs of another process by message.
#include "DialogDriver.h"

#include <gtest/gtest.h>

namespace travok::test {

HWND WaitFileDialog(const TravokProcess& app) {
    HWND found = nullptr;
    WaitFor([&] {
        for (HWND popup : app.Popups())
            if (GetDlgItem(popup, kFileNameField) && IsWindowVisible(GetDlgItem(popup, IDOK))) found = popup;
        return found != nullptr;
    });
    if (!found) ADD_FAILURE() << "no file dialog appeared";
    return found;
}

HWND WaitPromptAbove(const TravokProcess& app, HWND fileDialog, DWORD timeoutMs) {
    HWND found = nullptr;
    WaitFor([&] {
        for (HWND popup : app.Popups())
            if (popup != fileDialog && GetWindow(popup, GW_OWNER) == fileDialog) found = popup;
        return found != nullptr;
    }, timeoutMs);
    return found;
}

namespace {
BOOL CALLBACK CollectStaticText(HWND child, LPARAM lParam) {
    char cls[64] = {};
    GetClassNameA(child, cls, sizeof cls);
    if (_stricmp(cls, "Static") == 0 && (GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) != SS_ICON)
        *reinterpret_cast<std::string*>(lParam) += GetText(child);
    return TRUE;
}
}  // namespace

std::string BoxText(HWND box) {
    std::string text;
    EnumChildWindows(box, CollectStaticText, reinterpret_cast<LPARAM>(&text));
    return text;
}

void TypeFileName(HWND fileDialog, const std::wstring& name) { SetTextW(GetDlgItem(fileDialog, kFileNameField), name); }

void Press(HWND window, int id) { PostMessageA(GetDlgItem(window, id), BM_CLICK, 0, 0); }

bool WaitGone(HWND window) { return WaitFor([&] { return !IsWindow(window); }); }

std::vector<SeenBox> ChooseInFileDialog(const TravokProcess& app, HWND button, const std::wstring& name,
                                        OverwritePrompt expected) {
    PendingClick click(app, button);
    HWND dialog = WaitFileDialog(app);
    if (!dialog) return {};
    TypeFileName(dialog, name);
    Press(dialog, IDOK);
    HWND prompt = nullptr;
    WaitFor([&] { return !IsWindow(dialog) || (prompt = WaitPromptAbove(app, dialog, 0)) != nullptr; });
    if (prompt && expected != OverwritePrompt::None) {
        Press(prompt, IDYES);
    } else if (prompt) {
        ADD_FAILURE() << "unexpected window above the file dialog: " << BoxText(prompt);
        return {};
    } else if (expected == OverwritePrompt::Expected) {
        ADD_FAILURE() << "no overwrite prompt for " << Utf8(name);
    }
    if (!WaitGone(dialog)) {
        ADD_FAILURE() << "the file dialog did not take " << Utf8(name);
        return {};
    }
    return click.Finish();
}

std::string ClipboardText() {
    // Another process may hold the clipboard for a moment.
    if (!WaitFor([] { return OpenClipboard(nullptr) != FALSE; })) return "<cannot open>";
    std::string text = "<none>";
    if (HANDLE data = GetClipboardData(CF_TEXT)) {
        if (const char* locked = static_cast<const char*>(GlobalLock(data))) {
            text = locked;
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return text;
}

bool SetClipboardText(const std::string& text) {
    if (!WaitFor([] { return OpenClipboard(nullptr) != FALSE; })) return false;
    bool ok = false;
    if (EmptyClipboard()) {
        HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
        if (memory) {
            memcpy(GlobalLock(memory), text.c_str(), text.size() + 1);
            GlobalUnlock(memory);
            ok = SetClipboardData(CF_TEXT, memory) != nullptr;
            if (!ok) GlobalFree(memory);
        }
    }
    CloseClipboard();
    return ok;
}

}  // namespace travok::test
