// The main sheet built in this process, so that its system menu can be read: menus
// cannot be read from another process under Wine.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "res/resource.h"
#include "shell/MainSheet.h"

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

}  // namespace
