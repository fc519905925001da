// The coding page's message boxes: texts from the string table and the file error report.
#pragma once

#include <initializer_list>
#include <string>

#include "framework/File.h"
#include "framework/Wnd.h"

// Shows string stringId, its %1, %2... filled in with values, in a box titled "Error
// Travok" with one OK button.
void ShowErrorTravok(const CWnd& owner, UINT stringId, UINT icon, std::initializer_list<std::wstring> values = {});
// The same box for a text the engine has already made from the string table.
void ShowErrorTravok(const CWnd& owner, const std::wstring& text, UINT icon);

// Shows the file error report for e in the same box, with the stop icon.
void ReportFileError(const CWnd& owner, const CFileException& e);
