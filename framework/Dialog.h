// CDialog: a dialog from a template, run modally, with an event table that routes
// control notifications to member handlers.
#pragma once

#include <exception>
#include <span>

#include "Wnd.h"

class CDialog : public CWnd {
public:
    using Handler = void (CDialog::*)();
    struct EventEntry {
        UINT id;       // control identifier
        UINT code;     // notification code, such as BN_CLICKED
        Handler handler;
    };

    explicit CDialog(UINT templateId) : m_templateId(templateId) {}
    virtual ~CDialog() = default;
    CDialog(const CDialog&) = delete;
    CDialog& operator=(const CDialog&) = delete;

    // Runs the dialog modally. With no parent, the owner is the application's main
    // window, or the pop-up that is active above it.
    INT_PTR DoModal(HWND parent = nullptr);

protected:
    virtual std::span<const EventEntry> GetEventTable() const { return {}; }
    virtual BOOL OnInitDialog() { return TRUE; }
    // Dialog messages not handled by the event table. Returns TRUE when handled.
    virtual BOOL OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    // The dialog procedure body shared by modal dialogs and property pages. No
    // exception leaves it: what a handler throws is reported.
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

    UINT m_templateId;

private:
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    bool RouteCommand(WPARAM wParam);
};

// An event table entry for a button click, from a member function of a derived class.
template <class T>
constexpr CDialog::EventEntry OnClicked(UINT id, void (T::*handler)()) {
    return {id, BN_CLICKED, static_cast<CDialog::Handler>(handler)};
}
