// Path pickers, key files and result copy. A key file is the key's bytes exactly as the
// key box holds them: saved whole and loaded whole, up to the file's first zero byte.
#include <string>

#include "Cheie.h"
#include "Messages.h"
#include "engine/KeyFile.h"
#include "framework/FileDialog.h"
#include "framework/String.h"
#include "res/resource.h"

namespace {

constexpr const wchar_t kAnyFile[] = L"*.*";
constexpr const wchar_t kKeyFile[] = L"*.key";

// A key file holds as much as the key box, and no more.
static_assert(CCheie::kTextBoxLimit == travok::kMaxKeyLength);

}  // namespace

void CCheie::OnBrowseInput() {
    CFileDialog dialog(TRUE, nullptr, kAnyFile, 0, LoadResStringW(IDS_ALL_FILES_FILTER).c_str(), this);
    if (dialog.DoModal() != IDOK) return;
    m_inputPath.SetWindowTextW(dialog.GetPathName());
}

void CCheie::OnBrowseOutput() {
    CFileDialog dialog(FALSE, nullptr, kAnyFile, OFN_OVERWRITEPROMPT, LoadResStringW(IDS_ALL_FILES_FILTER).c_str(),
                       this);
    if (dialog.DoModal() != IDOK) return;
    m_outputPath.SetWindowTextW(dialog.GetPathName());
}

void CCheie::OnOpenKey() {
    CFileDialog dialog(TRUE, kKeyFile, kKeyFile, 0, LoadResStringW(IDS_KEY_FILES_FILTER).c_str(), this);
    if (dialog.DoModal() != IDOK) return;
    LoadKeyFile(dialog.GetPathName());
}

void CCheie::LoadKeyFile(const std::wstring& path) {
    // The key box changes only once the key has been read whole: a failed open or read,
    // or a key too long for the box, leaves what the user had there. The file is closed
    // before any message shows.
    const travok::LoadedKey loaded = travok::LoadKeyFile(path, kTextBoxLimit);
    if (!loaded.error.empty()) ShowErrorTravok(*this, loaded.error, MB_ICONHAND);
    if (!loaded.key) return;
    m_key.SetWindowText(*loaded.key);
    // Stored keys are loaded byte for byte, so an editor's line break stays part of the
    // key, which the user cannot see in the box: say so.
    if (travok::HoldsOtherThanDigits(*loaded.key)) ShowErrorTravok(*this, IDS_KEY_NOT_DIGITS, MB_ICONINFORMATION);
}

void CCheie::OnSaveKey() {
    CFileDialog dialog(FALSE, kKeyFile, kKeyFile, OFN_OVERWRITEPROMPT, LoadResStringW(IDS_KEY_FILES_FILTER).c_str(),
                       this);
    if (dialog.DoModal() != IDOK) return;

    const std::string key = m_key.GetWindowText();
    try {
        CFile file;
        file.Open(dialog.GetPathName(),
                  CFile::modeCreate | CFile::modeWrite | CFile::shareExclusive | CFile::typeNoDevice);
        file.Write(key.data(), static_cast<UINT>(key.size()));
        file.Close();
    } catch (const CFileException& e) {
        ReportFileError(*this, e);
    }
}

void CCheie::OnCopyResult() {
    m_result.SetSel(0, -1);
    m_result.Copy();
}
