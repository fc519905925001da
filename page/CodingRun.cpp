// The coding run behind "Action!": Text-to-Text, Text-to-File, File-to-Text and
// File-to-File. Every byte is coded and kept; only a text box cannot show a zero byte,
// and the user is told when a result is shown cut at one. A coded text is shown and read
// as a byte text (framework/ByteText.h), a plain one in the code page, and a plain
// character the code page lacks is never coded as '?' in silence.
#include <algorithm>

#include "Cheie.h"
#include "Messages.h"
#include "ProgressDialog.h"
#include "engine/FileToFile.h"
#include "engine/OutputFile.h"
#include "framework/Path.h"
#include "res/resource.h"

using travok::Direction;
using travok::KeyCoder;

namespace {

// Text-to-File writes, and File-to-Text reads, a block at a time: far fewer calls than
// chunk by chunk, each small enough for one WriteFile or ReadFile. File-to-File runs in
// the engine's own blocks (kRunBlock).
constexpr UINT kFileBlock = 105 * travok::kFileChunk;  // about 1 MiB

std::vector<std::uint8_t> Bytes(const std::string& text) { return {text.begin(), text.end()}; }

std::string_view AsText(const std::vector<std::uint8_t>& bytes) {
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

bool HasZero(const std::vector<std::uint8_t>& bytes) { return std::find(bytes.begin(), bytes.end(), 0) != bytes.end(); }

// Writes all of data, in pieces a single WriteFile can take.
void WriteAll(CFile& file, const std::vector<std::uint8_t>& data) {
    for (size_t done = 0; done < data.size();) {
        UINT piece = static_cast<UINT>(std::min<size_t>(data.size() - done, kFileBlock));
        file.Write(data.data() + done, piece);
        done += piece;
    }
}

}  // namespace

// The coded side of a run is the result of Code and the input of Decode.
void CCheie::ShowText(const CEdit& box, std::string_view bytes, bool coded) const {
    if (coded) box.SetBytesText(bytes);
    else box.SetWindowText(bytes);
}

void CCheie::OnAction() {
    bool lost = false;
    const std::string input = m_bCode ? m_input.GetWindowText(&lost) : m_input.GetBytesText(&lost);
    bool failed = false;
    if (input.empty() && !m_bFromFile) {
        ShowErrorTravok(*this, IDS_NO_INPUT, MB_ICONHAND);
        m_input.SetFocus();
        failed = true;
    }
    const std::string key = m_key.GetWindowText();
    if (key.empty()) {
        ShowErrorTravok(*this, IDS_NO_KEY, MB_ICONHAND);
        m_key.SetFocus();
        failed = true;
    }
    if (failed) return;

    const KeyCoder coder(m_bCode ? Direction::Encode : Direction::Decode, key);
    if (m_bFromFile) {
        if (m_bToFile) FileToFile(coder);
        else FileToText(coder);
        return;
    }
    std::vector<std::uint8_t> result = Bytes(input);
    coder.Code(result.data(), result.data(), result.size());
    if (m_bToFile) {
        TextToFile(result);
        if (lost) ShowErrorTravok(*this, IDS_TEXT_NOT_IN_CODE_PAGE, MB_ICONINFORMATION);
    } else {
        ShowResult(result, false, lost);
    }
}

void CCheie::ShowResult(const std::vector<std::uint8_t>& result, bool inputCut, bool inputLost) {
    ShowText(m_result, AsText(result), m_bCode != 0);
    if (inputLost) ShowErrorTravok(*this, IDS_TEXT_NOT_IN_CODE_PAGE, MB_ICONINFORMATION);
    if (inputCut || HasZero(result)) ShowErrorTravok(*this, IDS_RESULT_HAS_ZERO, MB_ICONINFORMATION);
}

void CCheie::TextToFile(const std::vector<std::uint8_t>& result) {
    try {
        travok::OutputFile output(m_outputPath.GetWindowTextW());
        WriteAll(output.File(), result);
        output.Commit();
    } catch (const CFileException& e) {
        ReportFileError(*this, e);
    }
}

void CCheie::FileToText(const KeyCoder& coder) {
    std::vector<std::uint8_t> data;
    CFile input;
    try {
        input.Open(m_inputPath.GetWindowTextW(), CFile::modeRead | CFile::shareDenyWrite | CFile::typeNoDevice);
        // Read to the end instead of trusting the length: a file may grow or shrink
        // while it is read, and some files (Linux's /proc, under Wine) say 0 bytes yet
        // hold text. What was read is what is shown and coded. One byte past the limit
        // tells a file too large for the box.
        size_t filled = 0;
        UINT got = 0;
        do {
            const size_t want = std::min<size_t>(kFileBlock, kTextBoxLimit + 1 - filled);
            data.resize(filled + want);
            got = input.Read(data.data() + filled, static_cast<UINT>(want));
            filled += got;
        } while (got > 0 && filled <= kTextBoxLimit);
        data.resize(filled);
        if (filled > kTextBoxLimit) {
            // Closed first: the file is free while the message waits for the user.
            input.Abort();
            ShowErrorTravok(*this, IDS_FILE_TOO_LARGE, MB_ICONINFORMATION);
            return;
        }
    } catch (const CFileException& e) {
        // A mistyped path must not wipe what the boxes hold: they stay as they were.
        input.Abort();
        ReportFileError(*this, e);
        return;
    }
    try {
        input.Close();
    } catch (const CFileException& e) {
        ReportFileError(*this, e);  // everything was read: the run goes on
    }

    ShowText(m_input, AsText(data), !m_bCode);
    const bool inputCut = HasZero(data);
    coder.Code(data.data(), data.data(), data.size());
    ShowResult(data, inputCut);
}

void CCheie::FileToFile(const KeyCoder& coder) {
    const std::wstring inputPath = m_inputPath.GetWindowTextW();
    const std::wstring outputPath = m_outputPath.GetWindowTextW();
    if (SameFileName(inputPath, outputPath)) {
        ShowErrorTravok(*this, IDS_SAME_FILE, MB_ICONINFORMATION);
        return;
    }
    try {
        // Opened by the worker: a file held for a moment is waited for there, while the
        // window goes on serving its messages.
        travok::FileToFile run(travok::NamedFile{inputPath}, travok::NamedFile{outputPath}, travok::Opening::InRun);
        const std::wstring name = inputPath.substr(inputPath.find_last_of(L"\\/") + 1);
        // Cancelled: the output stays as it was, and nothing is said.
        RunWithProgress(name, !m_bCode, run.Progress(), [&] { return run.Run(coder); });
    } catch (const CFileException& e) {
        ReportFileError(*this, e);
    }
}
