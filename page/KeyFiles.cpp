// Path pickers, key files and result copy. A key file is the key's bytes exactly as the
// key box holds them: saved whole and loaded whole, up to the file's first zero byte.
#include <algorithm>
#include <cstdio>

#include "Cheie.h"
#include "Messages.h"
#include "framework/FileDialog.h"
#include "framework/String.h"
#include "res/resource.h"

namespace {

constexpr const char kAnyFile[] = "*.*";
constexpr const char kKeyFile[] = "*.key";

// Reads the key from file: its bytes up to the first zero byte or the end. Returns
// false, having read only a block past the limit, when the key is longer than limit.
bool ReadKey(CFile& file, std::string& key, size_t limit) {
    char block[4096];
    while (UINT got = file.Read(block, sizeof block)) {
        const char* end = std::find(block, block + got, '\0');
        key.append(block, static_cast<size_t>(end - block));
        if (key.size() > limit) return false;
        if (end != block + got) break;
    }
    return true;
}

}  // namespace

void CCheie::OnBrowseInput() {
    CFileDialog dialog(TRUE, nullptr, kAnyFile, 0, LoadResString(IDS_ALL_FILES_FILTER).c_str(), this);
    if (dialog.DoModal() != IDOK) return;
    m_inputPath.SetWindowText(dialog.GetPathName());
}

void CCheie::OnBrowseOutput() {
    CFileDialog dialog(FALSE, nullptr, kAnyFile, OFN_OVERWRITEPROMPT, LoadResString(IDS_ALL_FILES_FILTER).c_str(),
                       this);
    if (dialog.DoModal() != IDOK) return;
    m_outputPath.SetWindowText(dialog.GetPathName());
}

void CCheie::OnOpenKey() {
    CFileDialog dialog(TRUE, kKeyFile, kKeyFile, 0, LoadResString(IDS_KEY_FILES_FILTER).c_str(), this);
    if (dialog.DoModal() != IDOK) return;

    // The key is taken only once it has been read whole: a failed open or read leaves it
    // empty, a failed close keeps it. The file is closed before any message shows.
    std::string key;
    bool fits = true;
    try {
        CFile file;
        file.Open(dialog.GetPathName(), CFile::modeRead | CFile::shareExclusive | CFile::typeNoDevice);
        std::string read;
        fits = ReadKey(file, read, kTextBoxLimit);
        if (fits) key = std::move(read);
        file.Close();
    } catch (const CFileException& e) {
        ReportFileError(*this, e);
    }
    if (!fits) {
        // Cutting the key to fit would decode with a different key than the file holds.
        char text[256];
        std::snprintf(text, sizeof text, LoadResString(IDS_KEY_TOO_LONG).c_str(), kTextBoxLimit);
        MessageBox(text, LoadResString(IDS_ERROR_CAPTION), MB_OK | MB_ICONHAND);
    }
    m_key.SetWindowText(key);
}

void CCheie::OnSaveKey() {
    CFileDialog dialog(FALSE, kKeyFile, kKeyFile, OFN_OVERWRITEPROMPT, LoadResString(IDS_KEY_FILES_FILTER).c_str(),
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
