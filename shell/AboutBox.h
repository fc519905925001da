// CAboutBox: the About box, template 100. The framework's dialog does everything: OK,
// Esc and the close box close it.
#pragma once

#include "framework/Dialog.h"
#include "res/resource.h"

class CAboutBox : public CDialog {
public:
    CAboutBox() : CDialog(IDD_ABOUTBOX) {}
};

// Shows the About box modally; with no owner, above the main window.
inline void ShowAboutBox(HWND owner = nullptr) {
    CAboutBox about;
    about.DoModal(owner);
}
