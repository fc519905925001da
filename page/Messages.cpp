// Message boxes of the coding page and the file error report.
#include "Messages.h"

#include "engine/FileErrorText.h"
#include "framework/String.h"
#include "res/resource.h"

namespace {

void ShowTravokBox(const CWnd& owner, const std::wstring& text, UINT icon) {
    owner.MessageBox(text, LoadResStringW(IDS_ERROR_CAPTION), MB_OK | icon);
}

}  // namespace

void ShowErrorTravok(const CWnd& owner, UINT stringId, UINT icon, std::initializer_list<std::wstring> values) {
    ShowTravokBox(owner, LoadResStringW(stringId, values), icon);
}

void ReportFileError(const CWnd& owner, const CFileException& e) {
    ShowTravokBox(owner, FileErrorText(e), MB_ICONHAND);
}
