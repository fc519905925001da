// Message boxes of the coding page and the file error report.
#include "Messages.h"

#include "engine/FileErrorText.h"
#include "framework/String.h"
#include "res/resource.h"

void ShowErrorTravok(const CWnd& owner, const std::wstring& text, UINT icon) {
    owner.MessageBox(text, LoadResStringW(IDS_ERROR_CAPTION), MB_OK | icon);
}

void ShowErrorTravok(const CWnd& owner, UINT stringId, UINT icon, std::initializer_list<std::wstring> values) {
    ShowErrorTravok(owner, LoadResStringW(stringId, values), icon);
}

void ReportFileError(const CWnd& owner, const CFileException& e) {
    ShowErrorTravok(owner, travok::FileErrorText(e), MB_ICONHAND);
}
