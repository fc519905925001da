// The main sheet built in this process, so that its system menu can be read: menus
// cannot be read from another process under Wine.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/MessageFilter.h"
#include "res/resource.h"
#include "shell/MainSheet.h"
#include "shell/TravokApp.h"

namespace {

struct MenuItem {
    UINT id;
    UINT type;
    std::string text;
};

std::vector<MenuItem> g_menu;
INT_PTR g_pageCount = -1;

// Runs inside the sheet's modal loop: reads the menu, then closes the sheet.
void CALLBACK InspectSheet(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    HWND sheet = FindWindowA("#32770", "Travok");
    HMENU menu = GetSystemMenu(sheet, FALSE);
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        char text[128] = {};
        MENUITEMINFOA info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_ID | MIIM_FTYPE | MIIM_STRING;
        info.dwTypeData = text;
        info.cch = sizeof text;
        GetMenuItemInfoA(menu, static_cast<UINT>(i), TRUE, &info);
        g_menu.push_back({info.wID, info.fType, text});
    }
    g_pageCount = TabCtrl_GetItemCount(PropSheet_GetTabControl(sheet));
    PostMessageA(sheet, WM_COMMAND, IDCANCEL, 0);
}

TEST(MainSheet, SystemMenuEndsWithASeparatorAndAboutTravok) {
    CMy_PropertySheet sheet("Travok", nullptr, 0);
    SetTimer(nullptr, 0, 1, InspectSheet);
    EXPECT_EQ(sheet.DoModal(), IDCANCEL);

    ASSERT_GE(g_menu.size(), 3u);
    const MenuItem& separator = g_menu[g_menu.size() - 2];
    const MenuItem& about = g_menu.back();
    EXPECT_TRUE(separator.type & MFT_SEPARATOR);
    EXPECT_EQ(about.id, static_cast<UINT>(IDM_ABOUTBOX));
    EXPECT_EQ(about.text, "&About Travok...");
    EXPECT_EQ(g_pageCount, 1);
}

// The width of icon, or 0 when it cannot be read.
int IconWidth(HICON icon) {
    ICONINFO info{};
    if (!icon || !GetIconInfo(icon, &info)) return 0;
    BITMAP bitmap{};
    GetObjectA(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof bitmap, &bitmap);
    if (info.hbmColor) DeleteObject(info.hbmColor);
    if (info.hbmMask) DeleteObject(info.hbmMask);
    return bitmap.bmWidth;
}

int g_actionIcon = -1, g_bigIcon = -1, g_smallIcon = -1;

void CALLBACK MeasureIconsAndClose(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    HWND sheet = FindWindowA("#32770", "Travok");
    HWND action = GetDlgItem(PropSheet_GetCurrentPageHwnd(sheet), IDC_ACTION);
    g_actionIcon = IconWidth(reinterpret_cast<HICON>(SendMessageA(action, BM_GETIMAGE, IMAGE_ICON, 0)));
    g_bigIcon = IconWidth(reinterpret_cast<HICON>(SendMessageA(sheet, WM_GETICON, ICON_BIG, 0)));
    g_smallIcon = IconWidth(reinterpret_cast<HICON>(SendMessageA(sheet, WM_GETICON, ICON_SMALL, 0)));
    PostMessageA(sheet, WM_COMMAND, IDCANCEL, 0);
}

// Each icon is loaded at the size the system's DPI asks for, from the image drawn for
// it, not scaled from another one.
TEST(MainSheet, IconsAreLoadedAtTheSizesOfTheSystemsDpi) {
    CMy_PropertySheet sheet("Travok", nullptr, 0);
    SetTimer(nullptr, 0, 1, MeasureIconsAndClose);
    EXPECT_EQ(sheet.DoModal(), IDCANCEL);
    EXPECT_EQ(g_actionIcon, GetSystemMetrics(SM_CXICON));
    EXPECT_EQ(g_bigIcon, GetSystemMetrics(SM_CXICON));
    EXPECT_EQ(g_smallIcon, GetSystemMetrics(SM_CXSMICON));
}

// What the page asked of the window message filter.
struct FilterCall {
    HWND window;
    UINT message;
    DWORD action;
    bool operator==(const FilterCall&) const = default;
};
std::vector<FilterCall> g_filterCalls;
HWND g_page = nullptr;

BOOL WINAPI RecordFilter(HWND window, UINT message, DWORD action, PCHANGEFILTERSTRUCT) {
    g_filterCalls.push_back({window, message, action});
    return TRUE;
}

void CALLBACK NotePageAndClose(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    HWND sheet = FindWindowA("#32770", "Travok");
    g_page = PropSheet_GetCurrentPageHwnd(sheet);
    PostMessageA(sheet, WM_COMMAND, IDCANCEL, 0);
}

// Runs the sheet with filter in the system call's place until the first timer tick.
void RunSheetWithFilter(WindowMessageFilter filter) {
    g_filterCalls.clear();
    g_page = nullptr;
    const WindowMessageFilter system = SetWindowMessageFilter(filter);
    CMy_PropertySheet sheet("Travok", nullptr, 0);
    SetTimer(nullptr, 0, 1, NotePageAndClose);
    EXPECT_EQ(sheet.DoModal(), IDCANCEL);
    SetWindowMessageFilter(system);
}

// An elevated Travok hears of a drop from Explorer only if its page lets the drop's
// messages through; Wine has no integrity levels, so the calls themselves are checked.
TEST(MainSheet, PageLetsTheDropMessagesThroughFromLowerIntegrity) {
    RunSheetWithFilter(RecordFilter);
    ASSERT_NE(g_page, nullptr);
    const std::vector<FilterCall> expected = {
        {g_page, WM_DROPFILES, MSGFLT_ALLOW},
        {g_page, WM_COPYDATA, MSGFLT_ALLOW},
        {g_page, 0x0049, MSGFLT_ALLOW},  // WM_COPYGLOBALDATA
    };
    EXPECT_EQ(g_filterCalls, expected);
}

// Before Windows 7 user32 has no filter call; the page opens all the same.
TEST(MainSheet, PageOpensWhereTheSystemHasNoMessageFilter) {
    RunSheetWithFilter(nullptr);
    EXPECT_NE(g_page, nullptr);
}

// The system's own call takes the request for a window of this process.
TEST(MainSheet, SystemMessageFilterAcceptsTheDropMessages) {
    HWND window = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    for (UINT message : {UINT{WM_DROPFILES}, UINT{WM_COPYDATA}, UINT{0x0049}})
        EXPECT_TRUE(AllowMessageFromLowerIntegrity(window, message)) << message << ", error " << GetLastError();
    DestroyWindow(window);
}

// Help, with the document opener replaced: what went out, and what the user was told.
struct OpenRequest {
    HWND owner;
    std::wstring path;
    bool operator==(const OpenRequest&) const = default;
};
std::vector<OpenRequest> g_opened;
DWORD g_openAnswer = NO_ERROR;
std::vector<std::string> g_boxes;
HWND g_sheet = nullptr;

DWORD RecordOpen(HWND owner, const std::wstring& path) {
    g_opened.push_back({owner, path});
    return g_openAnswer;
}

// Runs inside a message box's own loop: notes its text and closes it.
void CALLBACK CloseErrorBox(HWND, UINT, UINT_PTR, DWORD) {
    HWND box = FindWindowA("#32770", "Error Travok");
    if (!box || !IsWindowVisible(box)) return;
    char text[512] = {};
    GetDlgItemTextA(box, 0xFFFF, text, sizeof text);  // a message box's text
    g_boxes.push_back(text);
    PostMessageA(box, WM_COMMAND, IDOK, 0);
}

void CALLBACK PressHelpAndClose(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    g_sheet = FindWindowA("#32770", "Travok");
    SendMessageA(GetDlgItem(g_sheet, IDHELP), BM_CLICK, 0, 0);
    PostMessageA(g_sheet, WM_COMMAND, IDCANCEL, 0);
}

std::wstring TempFolder() {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    return temp;
}

TEST(MainSheet, HelpOpensThePageBesideTheProgramOrSaysWhyNot) {
    const std::wstring folder = TempFolder() + L"travok-help-" + std::to_wstring(GetCurrentProcessId()) + L"\\";
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    const std::wstring page = folder + L"Travok.html";
    const std::string pageA(page.begin(), page.end());  // a plain ASCII path
    const std::string missingText =
        "The help page '" + pageA +
        "' is missing. It comes with Travok, beside Travok.exe: install Travok again, or unpack the whole portable zip.";

    enum class Page { File, Missing, Folder };
    struct Case {
        const char* what;
        Page page;
        DWORD openAnswer;
        bool opened;        // the request went out
        std::string box;    // the message the user sees; empty: none
    } cases[] = {
        {"page present, a viewer opens it", Page::File, NO_ERROR, true, ""},
        {"page present, no viewer for web pages", Page::File, ERROR_NO_ASSOCIATION, true,
         "The help page '" + pageA + "' could not be opened (Windows error 1155). Open it in a web browser."},
        {"page present, access denied", Page::File, ERROR_ACCESS_DENIED, true,
         "The help page '" + pageA + "' could not be opened (Windows error 5). Open it in a web browser."},
        {"page missing", Page::Missing, NO_ERROR, false, missingText},
        {"a folder in the page's place", Page::Folder, NO_ERROR, false, missingText},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.page == Page::File) {
            HANDLE file = CreateFileW(page.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
            ASSERT_NE(file, INVALID_HANDLE_VALUE);
            CloseHandle(file);
        } else if (c.page == Page::Folder) {
            ASSERT_TRUE(CreateDirectoryW(page.c_str(), nullptr));
        }
        g_opened.clear();
        g_boxes.clear();
        g_openAnswer = c.openAnswer;

        CTravokApp app;
        app.m_helpFilePath = page;
        const DocumentOpener system = SetDocumentOpener(RecordOpen);
        {
            CMy_PropertySheet sheet("Travok", nullptr, 0);
            app.m_pMainWnd = &sheet;
            SetTimer(nullptr, 0, 1, PressHelpAndClose);
            const UINT_PTR boxTimer = SetTimer(nullptr, 0, 20, CloseErrorBox);
            EXPECT_EQ(sheet.DoModal(), IDCANCEL);
            KillTimer(nullptr, boxTimer);
            app.m_pMainWnd = nullptr;
        }
        SetDocumentOpener(system);

        if (c.opened) {
            EXPECT_EQ(g_opened, (std::vector<OpenRequest>{{g_sheet, page}}));
        } else {
            EXPECT_TRUE(g_opened.empty());
        }
        EXPECT_EQ(g_boxes, c.box.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.box});
        DeleteFileW(page.c_str());
        RemoveDirectoryW(page.c_str());
    }
    RemoveDirectoryW(folder.c_str());
}

}  // namespace
