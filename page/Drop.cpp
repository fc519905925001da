// Files dropped onto the page, from Explorer or any program that drags files: where the
// file lands says what it is for.
#include "Cheie.h"
#include "Messages.h"
#include "framework/Handles.h"
#include "framework/MessageFilter.h"
#include "framework/Path.h"
#include "res/resource.h"

#include <shellapi.h>  // after windows.h, which Cheie.h brings

namespace {

using DropHandle = UniqueOwner<HDROP, DragFinish>;

std::wstring DroppedFile(HDROP drop, UINT index) {
    const UINT length = DragQueryFileW(drop, index, nullptr, 0);
    std::wstring path(length + 1, L'\0');
    const UINT got = DragQueryFileW(drop, index, path.data(), length + 1);
    path.resize(got);
    return path;
}

bool IsFolder(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(ExtendedLengthPath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Whether screen point lies on the page's control id (a group box framing one side).
bool Over(HWND page, int id, POINT screen) {
    RECT rect;
    HWND control = GetDlgItem(page, id);
    return control && GetWindowRect(control, &rect) && PtInRect(&rect, screen);
}

// A drop reaches the window as WM_DROPFILES, carried by WM_COPYDATA and
// WM_COPYGLOBALDATA, which the headers do not name.
constexpr UINT kDropMessages[] = {WM_DROPFILES, WM_COPYDATA, 0x0049};

}  // namespace

void CCheie::AcceptDrops() {
    DragAcceptFiles(m_hWnd, TRUE);
    // Started elevated (from an installer's last page, say), the page would otherwise
    // never hear of a drop from Explorer, which runs at a lower integrity level.
    for (UINT message : kDropMessages) AllowMessageFromLowerIntegrity(m_hWnd, message);
}

void CCheie::OnDropFiles(HDROP handle) {
    const DropHandle drop(handle);
    POINT point{};
    DragQueryPoint(handle, &point);  // in the page's client area
    ClientToScreen(m_hWnd, &point);
    enum class Side { None, Input, Key, Result };
    const Side side = Over(m_hWnd, IDC_INPUT_GROUP, point)    ? Side::Input
                      : Over(m_hWnd, IDC_KEY_GROUP, point)    ? Side::Key
                      : Over(m_hWnd, IDC_RESULT_GROUP, point) ? Side::Result
                                                              : Side::None;
    if (side == Side::None) return;  // the direction and button column takes no file

    const UINT count = DragQueryFileW(handle, 0xFFFFFFFF, nullptr, 0);
    const std::wstring path = count == 1 ? DroppedFile(handle, 0) : std::wstring();
    if (count != 1 || path.empty() || IsFolder(path)) {
        ShowErrorTravok(*this, IDS_DROP_ONE_FILE, MB_ICONINFORMATION);
        return;
    }
    switch (side) {
    case Side::Input: UseInputFile(path); break;
    case Side::Key: LoadKeyFile(path); break;
    case Side::Result: UseOutputFile(path); break;
    case Side::None: break;
    }
}

void CCheie::UseInputFile(const std::wstring& path) {
    m_inputPath.SetWindowTextW(path);
    m_inputText.SetCheck(BST_UNCHECKED);
    m_inputFile.SetCheck(BST_CHECKED);
    m_bFromFile = 1;
}

void CCheie::UseOutputFile(const std::wstring& path) {
    m_outputPath.SetWindowTextW(path);
    m_resultText.SetCheck(BST_UNCHECKED);
    m_resultFile.SetCheck(BST_CHECKED);
    m_bToFile = 1;
}
