// The coding page's message boxes: plain messages and the file error report.
#pragma once

#include <string>

#include "engine/FileErrorText.h"
#include "framework/File.h"
#include "framework/Wnd.h"

// Shows text in a box titled "Error Travok" with one OK button.
void ShowTravokBox(const CWnd& owner, const std::wstring& text, UINT icon);

// Shows string stringId in a box titled "Error Travok" with one OK button.
void ShowErrorTravok(const CWnd& owner, UINT stringId, UINT icon);

// Shows the file error report for e, with the stop icon.
void ReportFileError(const CWnd& owner, const CFileException& e);
