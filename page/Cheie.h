// CCheie: the coding page, with its controls, its three choice flags and its handlers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "coder/IncrementKey.h"
#include "framework/PropertyPage.h"

class CCheie : public CPropertyPage {
public:
    CCheie();

    // The most a text box holds, and so the largest file a File-to-Text run shows.
    static constexpr UINT kTextBoxLimit = 4u << 20;

    int m_bCode;      // 1 = encode, 0 = decode
    int m_bFromFile;  // 1 = input from the input-path file, 0 = from the input text box
    int m_bToFile;    // 1 = result to the output-path file, 0 = to the result box

protected:
    std::span<const EventEntry> GetEventTable() const override;
    void DoDataExchange() override;
    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;
    BOOL OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    // Choices
    void OnCode() { m_bCode = 1; }
    void OnDecode() { m_bCode = 0; }
    void OnFromText() { m_bFromFile = 0; }
    void OnFromFile() { m_bFromFile = 1; }
    void OnToText() { m_bToFile = 0; }
    void OnToFile() { m_bToFile = 1; }

    // The coding run and its four modes (CodingRun.cpp)
    void OnAction();
    // Shows the result; one message tells when the input box held characters the code
    // page lacks (inputLost), one when the result, or the input box (inputCut), was cut
    // at a zero byte.
    void ShowResult(const std::vector<std::uint8_t>& result, bool inputCut = false, bool inputLost = false);
    // Shows bytes in box: a coded text as a byte text, a plain one in the code page.
    void ShowText(const CEdit& box, std::string_view bytes, bool coded) const;
    void TextToFile(const std::vector<std::uint8_t>& result);
    void FileToText(const travok::KeyCoder& coder);
    void FileToFile(const travok::KeyCoder& coder);

    // Pickers, key files and copy (KeyFiles.cpp)
    void OnBrowseInput();
    void OnBrowseOutput();
    void OnOpenKey();
    void OnSaveKey();
    void OnCopyResult();
    // Loads the key box from a key file; on failure it is reported and the box kept.
    void LoadKeyFile(const std::wstring& path);

    // A file dropped onto the page (Drop.cpp): onto the input side it becomes the input
    // file, onto the result side the output file, onto the key group the key file.
    void OnDropFiles(HDROP drop);
    // Takes dropped files, also from Explorer into an elevated Travok.
    void AcceptDrops();
    void UseInputFile(const std::wstring& path);
    void UseOutputFile(const std::wstring& path);

    void OnAbout();

    CButton m_action;
    UniqueIcon m_actionIcon;  // Action!'s image, at the system's DPI
    CEdit m_inputPath;
    CEdit m_outputPath;
    CEdit m_result;
    CButton m_resultText;
    CButton m_resultFile;
    CButton m_inputText;
    CButton m_inputFile;
    CButton m_code;
    CEdit m_key;
    CEdit m_input;
};
