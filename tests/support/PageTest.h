// What the coding-page tests share: a fixture around the real page, a reference coder
// written independently of the program's, and the faults a test provokes on purpose.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ChildProcess.h"
#include "Driver.h"
#include "ReferenceCoder.h"
#include "UnixFaults.h"
#include "TempFiles.h"
#include "res/resource.h"

namespace travok::test {

enum class Mode { TextToText, TextToFile, FileToText, FileToFile };
const char* ModeName(Mode mode);
inline bool FromFile(Mode mode) { return mode == Mode::FileToText || mode == Mode::FileToFile; }
inline bool ToFile(Mode mode) { return mode == Mode::TextToFile || mode == Mode::FileToFile; }

// File-to-File runs restart the key at every chunk of this many bytes of the file.
constexpr size_t kChunk = 9990;

// The texts the program shows (its string table).
inline const std::string kNoInput = "There has to be an input text!";
inline const std::string kNoKey = "There has to be a key number!";
inline const std::string kSameName =
    "Come on man, it's not possible for the the both files to have the  same name!";
inline const std::string kResultHasZero =
    "The text holds a zero byte, which a text box cannot show, so it is shown only up to that byte. Send the "
    "result to a file to keep every byte.";
inline const std::string kFileTooLarge =
    "The input file is too large to show as text. Choose \"File\" for the result to code it file to file.";
inline const std::string kNotFound = "File NOT found!";
inline const std::string kBadPath = "Bad path!";
inline const std::string kAccessDenied = "Access denied to the specified file!";
inline const std::string kUnknownError = "Unknown error!";
inline const std::string kKeyNotDigits =
    "The key holds characters other than digits, such as a line break. They are part of the key and shift the bytes "
    "too.";
inline const std::string kDropOneFile = "Drop a single file here, not several files or a folder.";

// No message box at all.
testing::AssertionResult NoMessage(const std::vector<SeenBox>& boxes);
// Exactly one box titled "Error Travok" with this text and icon.
testing::AssertionResult OneMessage(const std::vector<SeenBox>& boxes, const std::string& text, LPCSTR icon);
// Exactly one file error report: "Error with '<file>' : <message>", stop icon.
testing::AssertionResult OneReport(const std::vector<SeenBox>& boxes, const std::string& file,
                                   const std::string& message);
// The same for a file named with characters outside the code page, which the report
// must show exactly.
testing::AssertionResult OneReport(const std::vector<SeenBox>& boxes, const std::wstring& file,
                                   const std::string& message);

// Makes a folder the current one while it lives, so that programs started meanwhile
// resolve relative paths against it.
class CurrentDirectory {
public:
    explicit CurrentDirectory(const std::string& dir);
    ~CurrentDirectory();
    CurrentDirectory(const CurrentDirectory&) = delete;
    CurrentDirectory& operator=(const CurrentDirectory&) = delete;

private:
    std::string m_previous;
};

// A Travok.exe started in a fresh temporary folder (its current folder), driven
// through its coding page.
class PageTest : public testing::Test {
protected:
    TempDir dir;
    CurrentDirectory cwd{dir.Path()};
    TravokProcess app;

    HWND Item(int id) const { return app.Item(id); }
    void Type(int id, const std::string& text) const { SetText(Item(id), text); }
    void Type(int id, const std::wstring& text) const { SetTextW(Item(id), text); }
    std::string Text(int id) const { return GetText(Item(id)); }
    std::wstring TextW(int id) const { return GetTextW(Item(id)); }
    void Choose(int radio) const { app.ClickNow(Item(radio)); }
    void SetMode(Mode mode) const;
    void SetDecode(bool decode) const { Choose(decode ? IDC_DECODE : IDC_CODE); }
    std::vector<SeenBox> Action() const { return app.ClickAndCollect(Item(IDC_ACTION)); }
    // Moves the keyboard focus to a control of the page, as tabbing to it would.
    void FocusOn(int id) const;

    // The texts of the five boxes: input, key, result, input path, output path.
    std::vector<std::string> Boxes() const;

    // The names of the files in the temporary folder, sorted.
    std::vector<std::string> Files() const;

    // Drops files onto the page over control id (a group box), as Explorer would, and
    // returns the message boxes the drop shows.
    std::vector<SeenBox> Drop(const std::vector<std::wstring>& files, int id) const;
};


// Another process of the same Wine prefix (tests/tools/holdfile) holding a file open
// with no sharing until this object goes. The file is created when missing.
class HeldFile {
public:
    explicit HeldFile(const std::string& path);
    ~HeldFile();
    HeldFile(const HeldFile&) = delete;
    HeldFile& operator=(const HeldFile&) = delete;

    bool Held() const { return m_held; }
    const std::string& Output() const { return m_output; }  // what the helper printed
    // Ends the hold now, and returns once the helper has let the file go.
    void Release();

private:
    ChildProcess m_helper;
    UniqueHandle m_toHelper;  // the helper's standard input
    bool m_held = false;
    std::string m_output;
};

}  // namespace travok::test
