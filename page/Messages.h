// The coding page's message boxes: plain messages and the file error report.
#pragma once

#include <string>

#include "framework/File.h"
#include "framework/Wnd.h"

// Shows text in a box titled "Error Travok" with one OK button.
void ShowTravokBox(const CWnd& owner, const std::wstring& text, UINT icon);

// Shows string stringId in a box titled "Error Travok" with one OK button.
void ShowErrorTravok(const CWnd& owner, UINT stringId, UINT icon);

// The text of the file error report: "Error with '<file>' : <message for the cause>",
// the file named exactly as it was typed or chosen.
std::wstring FileErrorText(const CFileException& e);

// Shows the file error report for e, with the stop icon.
void ReportFileError(const CWnd& owner, const CFileException& e);
