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
    std::wstring text = LoadResStringW(IDS_ERROR_WITH) + e.m_strFileName + LoadResStringW(IDS_ERROR_SEPARATOR) +
                        LoadResStringW(message);
    // A commit that could not finish says where the bytes it left are.
    if (!e.m_strResultKept.empty()) text += LoadResStringW(IDS_RESULT_KEPT, {e.m_strResultKept});
    if (!e.m_strOriginalKept.empty()) text += LoadResStringW(IDS_ORIGINAL_KEPT, {e.m_strOriginalKept});
    return text;
}

}  // namespace travok
