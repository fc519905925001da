// Answers the common file dialogs that a click on the coding page opens, and the
// prompts and message boxes that follow them.
#pragma once

#include <windows.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "Driver.h"
#include "TempFiles.h"

namespace travok::test {

constexpr int kFileNameField = 0x47c;  // cmb13: a ComboBoxEx whose children share the id
constexpr int kFileTypeList = 0x470;   // cmb1: the filter list

// The process's common file dialog, once shown; nullptr, with a test failure, if none.
HWND WaitFileDialog(const TravokProcess& app);
// A window shown above the file dialog (the overwrite prompt); nullptr if none comes.
HWND WaitPromptAbove(const TravokProcess& app, HWND fileDialog, DWORD timeoutMs = kSafetyNetMs);
// The texts of a message box's Static children, joined.
std::string BoxText(HWND box);

void TypeFileName(HWND fileDialog, const std::wstring& name);
// Posts a click on the window's button id, so that a modal window it opens cannot block.
void Press(HWND window, int id);
bool WaitGone(HWND window);

// What a file dialog's OK may bring up above it: the overwrite prompt of a save dialog.
enum class OverwritePrompt {
    None,      // any window above the dialog is a failure
    Expected,  // it must come, and is answered Yes
    IfAny,     // answered Yes if it comes
};

// Clicks button, which opens a file dialog, enters name there and presses OK, handling
// the overwrite prompt as told; returns the message boxes the handler showed after the
// dialog. A dialog that does not take the name is a test failure.
std::vector<SeenBox> ChooseInFileDialog(const TravokProcess& app, HWND button, const std::wstring& name,
                                        OverwritePrompt prompt = OverwritePrompt::None);
inline std::vector<SeenBox> ChooseInFileDialog(const TravokProcess& app, HWND button, const std::string& name,
                                               OverwritePrompt prompt = OverwritePrompt::None) {
    return ChooseInFileDialog(app, button, Wide(name), prompt);
}

// The clipboard's text (CF_TEXT) as this process sees it; "<none>" when there is none.
std::string ClipboardText();
bool SetClipboardText(const std::string& text);

}  // namespace travok::test
