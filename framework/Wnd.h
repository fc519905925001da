// CWnd and the controls the program uses: a window handle with the few calls made on it.
// The program's windows are Unicode windows: texts that are names (paths) are read and
// set wide; texts that are data (input, key, result) are bytes of the active code page.
#pragma once

#include <string>
#include <string_view>

#include "Handles.h"
#include "Win.h"

class CWnd {
public:
    HWND m_hWnd = nullptr;

    HWND GetSafeHwnd() const { return m_hWnd; }

    // The whole text, however long, exactly as the window holds it.
    std::wstring GetWindowTextW() const;
    void SetWindowTextW(const std::wstring& text) const;

    // The whole text in the active code page: a character the code page lacks becomes
    // '?', never a look-alike, just as automation strings are converted; lost (when
    // given) says whether any did.
    std::string GetWindowText(bool* lost = nullptr) const;
    // Sets the text from the active code page, up to its first zero byte, the most a
    // window text can hold.
    void SetWindowText(std::string_view text) const;

    // The same for a text whose every byte must come back (ByteText.h): a coded text.
    std::string GetBytesText(bool* lost = nullptr) const;
    void SetBytesText(std::string_view bytes) const;

    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
        return ::SendMessageW(m_hWnd, message, wParam, lParam);
    }
    void SetFocus() const { ::SetFocus(m_hWnd); }

    // A message box owned by this window.
    int MessageBox(const std::wstring& text, const std::wstring& caption, UINT type) const;
};

class CEdit : public CWnd {
public:
    void SetSel(int start, int end) const { SendMessage(EM_SETSEL, static_cast<WPARAM>(start), end); }
    void Copy() const { SendMessage(WM_COPY); }
    void SetLimitText(UINT max) const { SendMessage(EM_SETLIMITTEXT, max); }
};

// An icon the program loaded for itself, at a size of its choosing: destroyed with its
// owner, after the windows that show it.
using UniqueIcon = UniqueOwner<HICON, DestroyIcon>;

// The program's icon resource id at the size of the system metric sizeMetric:
// SM_CXICON for a big icon (title bar at Alt+Tab, buttons), SM_CXSMICON for a small one
// (title bar, taskbar). A DPI-aware program gets them for the system's DPI, and so the
// icon's image drawn for that size rather than another one scaled; nullptr when the
// resource cannot be loaded.
UniqueIcon LoadIconSized(UINT id, int sizeMetric);

class CButton : public CWnd {
public:
    void SetCheck(int check) const { SendMessage(BM_SETCHECK, static_cast<WPARAM>(check)); }
    HICON SetIcon(HICON icon) const {
        return reinterpret_cast<HICON>(SendMessage(BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(icon)));
    }
};
