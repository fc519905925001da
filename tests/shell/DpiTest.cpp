// The real Travok.exe at 100%, 150% and 200% scaling: the page keeps its layout, and
// Action! keeps its image.
#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "Driver.h"
#include "res/resource.h"

using namespace travok::test;

namespace {

// Sets the scaling that programs started from now on take (HKCU\Control Panel\Desktop
// LogPixels, read as a program starts), and puts the one before back.
class LogPixels {
public:
    explicit LogPixels(DWORD dpi) {
        RegCreateKeyExW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", 0, nullptr, 0, KEY_QUERY_VALUE | KEY_SET_VALUE,
                        nullptr, &m_key, nullptr);
        DWORD size = sizeof m_before;
        m_had = RegQueryValueExW(m_key, L"LogPixels", nullptr, nullptr, reinterpret_cast<BYTE*>(&m_before), &size) ==
                ERROR_SUCCESS;
        m_set = RegSetValueExW(m_key, L"LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dpi), sizeof dpi) ==
                ERROR_SUCCESS;
    }
    ~LogPixels() {
        if (m_had)
            RegSetValueExW(m_key, L"LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&m_before), sizeof m_before);
        else
            RegDeleteValueW(m_key, L"LogPixels");
        RegCloseKey(m_key);
    }
    LogPixels(const LogPixels&) = delete;
    LogPixels& operator=(const LogPixels&) = delete;

    bool Set() const { return m_set; }

private:
    HKEY m_key = nullptr;
    DWORD m_before = 0;
    bool m_had = false;
    bool m_set = false;
};

struct Control {
    HWND hwnd;
    int id;
    std::string className;
    LONG style;
    RECT rect;  // on the screen
};

std::vector<Control> PageControls(HWND page) {
    std::vector<Control> controls;
    for (HWND child = GetWindow(page, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        char name[64] = {};
        GetClassNameA(child, name, sizeof name);
        Control c{child, GetDlgCtrlID(child), name, GetWindowLongA(child, GWL_STYLE), {}};
        GetWindowRect(child, &c.rect);
        controls.push_back(c);
    }
    return controls;
}

bool IsButton(const Control& c) { return _stricmp(c.className.c_str(), "Button") == 0; }
bool IsGroupBox(const Control& c) { return IsButton(c) && (c.style & BS_TYPEMASK) == BS_GROUPBOX; }

bool Inside(const RECT& inner, const RECT& outer) {
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}

bool Overlap(const RECT& a, const RECT& b) {
    RECT both;
    return IntersectRect(&both, &a, &b) != FALSE;
}

std::string Describe(const Control& c) {
    char text[128] = {};
    GetWindowTextA(c.hwnd, text, sizeof text);
    return c.className + " " + std::to_string(c.id) + " \"" + text + "\" (" + std::to_string(c.rect.left) + "," +
           std::to_string(c.rect.top) + ")-(" + std::to_string(c.rect.right) + "," + std::to_string(c.rect.bottom) + ")";
}

struct Scaling {
    DWORD dpi;
    friend void PrintTo(const Scaling& s, std::ostream* os) { *os << s.dpi << " dpi"; }
};

class Dpi : public testing::TestWithParam<Scaling> {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_logPixels.Set());
        m_app.emplace();
    }

    LogPixels m_logPixels{GetParam().dpi};
    std::optional<TravokProcess> m_app;
};

// Icons belong to their process under Wine, and the sheet's are not answered to
// another one, so their sizes and the sheet's icons are checked in process
// (tests/shell/SheetTest.cpp); here, that Action! holds its image at every scaling.
TEST_P(Dpi, ActionButtonHoldsItsImage) {
    EXPECT_NE(SendMessageA(m_app->Item(IDC_ACTION), BM_GETIMAGE, IMAGE_ICON, 0), 0) << "Action! shows no image";
}

TEST_P(Dpi, EveryControlLiesInsideThePageAndItsGroupBox) {
    HWND page = m_app->Page();
    RECT pageRect;
    ASSERT_TRUE(GetWindowRect(page, &pageRect));
    const std::vector<Control> controls = PageControls(page);
    ASSERT_GE(controls.size(), 20u);
    for (const Control& c : controls) {
        SCOPED_TRACE(Describe(c));
        EXPECT_TRUE(Inside(c.rect, pageRect)) << "outside the page";
        if (IsGroupBox(c)) continue;
        // A control either lies wholly inside a group box or keeps clear of it.
        for (const Control& group : controls) {
            if (IsGroupBox(group) && Overlap(c.rect, group.rect)) {
                EXPECT_TRUE(Inside(c.rect, group.rect)) << "crosses the frame of " << Describe(group);
            }
        }
    }
}

TEST_P(Dpi, NoTwoButtonsOverlap) {
    const std::vector<Control> controls = PageControls(m_app->Page());
    for (size_t i = 0; i < controls.size(); ++i) {
        for (size_t j = i + 1; j < controls.size(); ++j) {
            const Control &a = controls[i], &b = controls[j];
            if (IsButton(a) && !IsGroupBox(a) && IsButton(b) && !IsGroupBox(b)) {
                EXPECT_FALSE(Overlap(a.rect, b.rect)) << Describe(a) << " and " << Describe(b);
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Scalings, Dpi,
                         testing::Values(Scaling{96}, Scaling{144}, Scaling{192}),
                         [](const testing::TestParamInfo<Scaling>& p) { return std::to_string(p.param.dpi); });

}  // namespace
