// Message boxes of the coding page and the file error report.
#include "Messages.h"

#include "framework/String.h"
#include "res/resource.h"

void ShowTravokBox(const CWnd& owner, const std::wstring& text, UINT icon) {
    owner.MessageBox(text, LoadResStringW(IDS_ERROR_CAPTION), MB_OK | icon);
}

void ShowErrorTravok(const CWnd& owner, UINT stringId, UINT icon) {
    ShowTravokBox(owner, LoadResStringW(stringId), icon);
}

std::wstring FileErrorText(const CFileException& e) {
    UINT message = IDS_UNKNOWN_ERROR;
    switch (e.m_cause) {
    case CFileException::fileNotFound: message = IDS_FILE_NOT_FOUND; break;
    case CFileException::badPath: message = IDS_BAD_PATH; break;
    case CFileException::accessDenied: message = IDS_ACCESS_DENIED; break;
    case CFileException::invalidFile: message = IDS_INVALID_FILE; break;
    }
    return LoadResStringW(IDS_ERROR_WITH) + e.m_strFileName + LoadResStringW(IDS_ERROR_SEPARATOR) +
           LoadResStringW(message);
}

void ReportFileError(const CWnd& owner, const CFileException& e) {
    ShowTravokBox(owner, FileErrorText(e), MB_ICONHAND);
}
