// The file error report's text, from the causes' messages in the string table.
#include "FileErrorText.h"

#include "framework/String.h"
#include "res/resource.h"

namespace travok {

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

}  // namespace travok
