// Path pickers, key files and result copy, driven through the real page of the real
// Travok.exe and the real common dialogs.
#include <gtest/gtest.h>

#include "DialogDriver.h"
#include "Samples.h"
#include "TempFiles.h"
#include "UnixFaults.h"
#include "res/resource.h"

using namespace travok::test;

namespace {

// The most the key box holds; a longer key file is refused.
constexpr size_t kKeyBoxLimit = 4u << 20;

const std::string kDigits = "0123456789";

class KeyFiles : public testing::Test {
protected:
    // The dialogs make the folder of the chosen file the program's current folder:
    // the program must end before the folder can go, so it is declared after it.
    TempDir dir;
    TravokProcess app;

    HWND Item(int id) const { return app.Item(id); }
    void Type(int id, const std::string& text) const { SetText(Item(id), text); }
    std::string Text(int id) const { return GetText(Item(id)); }

    enum class Existing { No, Replace };

    // Clicks button and enters name in the file dialog it opens. An overwrite prompt is
    // answered Yes when the file exists, and is a failure when it does not. Returns the
    // message boxes the handler showed after the dialog.
    std::vector<SeenBox> Choose(int button, const std::string& name, Existing existing = Existing::No) const {
        return ChooseInFileDialog(app, Item(button), name,
                                  existing == Existing::Replace ? OverwritePrompt::Expected : OverwritePrompt::None);
    }

    void LoadKey(const std::string& path) const { EXPECT_TRUE(Choose(IDC_OPEN_KEY, path).empty()); }
    void SaveKey(const std::string& path, Existing existing = Existing::No) const {
        EXPECT_TRUE(Choose(IDC_SAVE_KEY, path, existing).empty());
    }
};

// --- The dialogs themselves ---------------------------------------------------------

struct DialogCase {
    const char* what;
    int button;
    const char* caption;      // the platform's caption: an open or a save dialog
    const char* initialName;
    const char* firstFilter;  // the active entry when the dialog opens
    int filterCount;
};

const DialogCase kDialogs[] = {
    {"input Browse", IDC_BROWSE_INPUT, "Open", "*.*", "All files (*.*)", 1},
    {"output Browse", IDC_BROWSE_OUTPUT, "Save As", "*.*", "All files (*.*)", 1},
    {"key Open", IDC_OPEN_KEY, "Open", "*.key", "Key files (*.key)", 2},
    {"key Save", IDC_SAVE_KEY, "Save As", "*.key", "Key files (*.key)", 2},
};

TEST_F(KeyFiles, EachButtonOpensItsModalDialogWithItsFilterAndInitialName) {
    for (const DialogCase& c : kDialogs) {
        SCOPED_TRACE(c.what);
        PendingClick click(app, Item(c.button));
        HWND dialog = WaitFileDialog(app);
        ASSERT_TRUE(dialog);
        EXPECT_EQ(GetText(dialog), c.caption);
        EXPECT_EQ(GetText(GetDlgItem(dialog, kFileNameField)), c.initialName);
        HWND filters = GetDlgItem(dialog, kFileTypeList);
        EXPECT_EQ(GetText(filters), c.firstFilter);
        EXPECT_EQ(SendMessageA(filters, CB_GETCOUNT, 0, 0), c.filterCount);
        EXPECT_FALSE(IsWindowEnabled(app.Sheet())) << "the main window must wait for the dialog";
        Press(dialog, IDCANCEL);
        EXPECT_TRUE(WaitGone(dialog));
        EXPECT_TRUE(click.Finish().empty());
        EXPECT_TRUE(IsWindowEnabled(app.Sheet()));
    }
}

struct CancelCase {
    const char* what;
    int button;
    const char* name;     // typed into the dialog before it is dismissed
    const char* content;  // the file's bytes beforehand; nullptr: no such file
    bool closeBox;        // dismissed with the close box instead of Cancel
};

const CancelCase kCancels[] = {
    {"input Browse, existing file", IDC_BROWSE_INPUT, "picked.txt", "data", false},
    {"output Browse, new name", IDC_BROWSE_OUTPUT, "new.txt", nullptr, false},
    {"output Browse, existing file", IDC_BROWSE_OUTPUT, "old.txt", "old data", true},
    {"key Open, existing key file", IDC_OPEN_KEY, "other.key", "999", false},
    {"key Open, closed", IDC_OPEN_KEY, "other.key", "999", true},
    {"key Save, existing key file", IDC_SAVE_KEY, "saved.key", "555", false},
    {"key Save, new name", IDC_SAVE_KEY, "new.key", nullptr, true},
};

TEST_F(KeyFiles, DismissingAnyDialogChangesNothing) {
    const int boxes[] = {IDC_INPUT, IDC_INPUT_PATH, IDC_KEY, IDC_RESULT, IDC_OUTPUT_PATH};
    for (int id : boxes) Type(id, "text of " + std::to_string(id));
    for (const CancelCase& c : kCancels) {
        SCOPED_TRACE(c.what);
        const std::string path = dir.File(c.name);
        if (c.content) WriteBytes(path, c.content);

        PendingClick click(app, Item(c.button));
        HWND dialog = WaitFileDialog(app);
        ASSERT_TRUE(dialog);
        TypeFileName(dialog, Wide(path));
        if (c.closeBox) PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
        else Press(dialog, IDCANCEL);
        EXPECT_TRUE(WaitGone(dialog));
        EXPECT_TRUE(click.Finish().empty());

        for (int id : boxes) EXPECT_EQ(Text(id), "text of " + std::to_string(id)) << "box " << id;
        EXPECT_TRUE(IsChecked(Item(IDC_FROM_TEXT)));
        EXPECT_TRUE(IsChecked(Item(IDC_TO_TEXT)));
        if (c.content) EXPECT_EQ(ReadBytes(path), c.content);
        else EXPECT_FALSE(FileExists(path));
    }
}

// --- Path pickers ---------------------------------------------------------------------

TEST_F(KeyFiles, PickedInputFileFillsItsBoxAndTheTextStaysTheInput) {
    const std::string path = dir.File("input.txt");
    WriteBytes(path, "xyz");
    Type(IDC_INPUT, "abc");
    Type(IDC_KEY, "1");

    EXPECT_TRUE(Choose(IDC_BROWSE_INPUT, path).empty());
    EXPECT_EQ(Text(IDC_INPUT_PATH), path);
    EXPECT_TRUE(IsChecked(Item(IDC_FROM_TEXT)));
    EXPECT_FALSE(IsChecked(Item(IDC_FROM_FILE)));
    EXPECT_EQ(ReadBytes(path), "xyz");

    // The run still codes the text box, not the picked file.
    EXPECT_TRUE(app.ClickAndCollect(Item(IDC_ACTION)).empty());
    EXPECT_EQ(Text(IDC_RESULT), "bcd");
    EXPECT_EQ(Text(IDC_INPUT), "abc");
}

TEST_F(KeyFiles, PickedNamesAreTakenAsTheDialogReturnsThem) {
    struct Case {
        const char* what;
        int button;
        int box;
        const char* typed;
        const char* expected;  // the file name the box ends with
    };
    const Case cases[] = {
        // An open dialog may return a file that does not exist.
        {"input, missing file", IDC_BROWSE_INPUT, IDC_INPUT_PATH, "missing.txt", "missing.txt"},
        {"output, new file", IDC_BROWSE_OUTPUT, IDC_OUTPUT_PATH, "new.dat", "new.dat"},
        // No default extension for the output: the name stays as typed.
        {"output, no extension", IDC_BROWSE_OUTPUT, IDC_OUTPUT_PATH, "plain", "plain"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Type(IDC_INPUT_PATH, "before");
        Type(IDC_OUTPUT_PATH, "before");
        EXPECT_TRUE(Choose(c.button, dir.File(c.typed)).empty());
        EXPECT_EQ(Text(c.box), dir.File(c.expected));
        EXPECT_EQ(Text(c.box == IDC_INPUT_PATH ? IDC_OUTPUT_PATH : IDC_INPUT_PATH), "before");
        EXPECT_FALSE(FileExists(dir.File(c.expected))) << "a picker must not create the file";
    }
}

// Names outside the code page pass through every dialog whole: the pickers fill the
// boxes with them, and key files are saved and loaded under them.
TEST_F(KeyFiles, EveryDialogTakesNamesOutsideTheCodePage) {
    for (const WideSample& n : kOutsideTheCodePage) {
        SCOPED_TRACE(n.what);
        const std::wstring file = dir.FileW(n.text + L".txt"), key = dir.FileW(n.text + L".key");
        EXPECT_TRUE(ChooseInFileDialog(app, Item(IDC_BROWSE_INPUT), file).empty());
        EXPECT_EQ(GetTextW(Item(IDC_INPUT_PATH)), file);
        EXPECT_TRUE(ChooseInFileDialog(app, Item(IDC_BROWSE_OUTPUT), file).empty());
        EXPECT_EQ(GetTextW(Item(IDC_OUTPUT_PATH)), file);

        Type(IDC_KEY, "8086");
        EXPECT_TRUE(ChooseInFileDialog(app, Item(IDC_SAVE_KEY), key).empty());
        EXPECT_EQ(ReadBytes(key), "8086");
        Type(IDC_KEY, "1");
        EXPECT_TRUE(ChooseInFileDialog(app, Item(IDC_OPEN_KEY), key).empty());
        EXPECT_EQ(Text(IDC_KEY), "8086");
        EXPECT_EQ(FileNames(dir.PathW()), std::vector<std::wstring>{n.text + L".key"});
        DeleteFileW(key.c_str());
    }
}

TEST_F(KeyFiles, SaveDialogsAskBeforeReturningAnExistingFile) {
    struct Case {
        const char* what;
        int button;
        const char* after;  // the file's bytes once the name has been accepted
    };
    const Case cases[] = {
        {"output Browse", IDC_BROWSE_OUTPUT, "777"},  // picking writes nothing
        {"key Save", IDC_SAVE_KEY, "4242"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = dir.File("existing.key");
        WriteBytes(path, "777");
        Type(IDC_KEY, "4242");
        Type(IDC_OUTPUT_PATH, "before");

        PendingClick click(app, Item(c.button));
        HWND dialog = WaitFileDialog(app);
        ASSERT_TRUE(dialog);
        TypeFileName(dialog, Wide(path));
        Press(dialog, IDOK);
        HWND prompt = WaitPromptAbove(app, dialog);
        ASSERT_TRUE(prompt) << "no overwrite prompt";
        EXPECT_TRUE(GetDlgItem(prompt, IDYES) && GetDlgItem(prompt, IDNO)) << BoxText(prompt);

        // No: back in the dialog, nothing returned yet.
        Press(prompt, IDNO);
        EXPECT_TRUE(WaitGone(prompt));
        EXPECT_TRUE(IsWindow(dialog));
        EXPECT_FALSE(click.Done());
        EXPECT_EQ(ReadBytes(path), "777");
        EXPECT_EQ(Text(IDC_OUTPUT_PATH), "before");

        // Yes: the dialog returns the name.
        Press(dialog, IDOK);
        prompt = WaitPromptAbove(app, dialog);
        ASSERT_TRUE(prompt) << "no overwrite prompt the second time";
        Press(prompt, IDYES);
        EXPECT_TRUE(WaitGone(dialog));
        EXPECT_TRUE(click.Finish().empty());
        EXPECT_EQ(ReadBytes(path), c.after);
        EXPECT_EQ(Text(IDC_OUTPUT_PATH), c.button == IDC_BROWSE_OUTPUT ? path : "before");
        EXPECT_EQ(Text(IDC_KEY), "4242");
    }
}

// --- Key files ------------------------------------------------------------------------

struct KeyFileCase {
    const char* what;
    std::string bytes;  // the key file
    std::string key;    // what the key box shows after loading it
};

TEST_F(KeyFiles, KeyFileLoadsAsRawBytesUpToItsFirstZeroAndSavesBackTheSame) {
    const std::string digits5k = PatternBytes(5000, kDigits);
    const KeyFileCase cases[] = {
        {"digits only", "0123456789", "0123456789"},
        {"digits then CR LF, kept", "42\r\n", "42\r\n"},
        {"zero as third byte", std::string("12\0" "34", 5), "12"},
        {"zero as first byte", std::string("\0" "99", 3), ""},
        {"300 digits, all of them", PatternBytes(300, kDigits, 3), PatternBytes(300, kDigits, 3)},
        {"empty file", "", ""},
        {"not validated: letters, space, code page 1252", "7a b\xE9", "7a b\xE9"},
        // The zero lies past the first read of the file.
        {"zero after 5000 digits", digits5k + std::string("\0" "123", 4), digits5k},
    };
    int n = 0;
    for (const KeyFileCase& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string loaded = dir.File("load" + std::to_string(++n) + ".key");
        WriteBytes(loaded, c.bytes);
        Type(IDC_KEY, "555");
        // A key with other characters than digits loads whole, and the user is told.
        const bool digitsOnly = c.key.find_first_not_of("0123456789") == std::string::npos;
        const std::vector<SeenBox> boxes = Choose(IDC_OPEN_KEY, loaded);
        if (digitsOnly) {
            EXPECT_TRUE(boxes.empty());
        } else {
            ASSERT_EQ(boxes.size(), 1u);
            EXPECT_EQ(boxes[0].text, "The key holds characters other than digits, such as a line break. They are part "
                                     "of the key and shift the bytes too.");
            EXPECT_EQ(boxes[0].icon, IDI_ASTERISK);
        }
        EXPECT_EQ(Text(IDC_KEY), c.key);
        EXPECT_EQ(ReadBytes(loaded), c.bytes);

        // Saving writes the key box's bytes as they are: no line-end translation.
        const std::string saved = dir.File("save" + std::to_string(n) + ".key");
        SaveKey(saved);
        EXPECT_EQ(ReadBytes(saved), c.key);
    }
}

TEST_F(KeyFiles, SavedKeyLoadsBackWhole) {
    struct Case {
        const char* what;
        std::string key;
        const char* before;  // the file's bytes before the save; nullptr: a new file
    };
    const Case cases[] = {
        {"empty key, new file", "", nullptr},
        {"empty key truncates an existing file", "", "123456789"},
        {"199 digits", PatternBytes(199, kDigits, 5), nullptr},
        {"200 digits", PatternBytes(200, kDigits, 6), nullptr},
        {"250 digits", PatternBytes(250, kDigits, 7), nullptr},
        {"a short key over a longer file", "31", "4444444444"},
        {"10000 digits", PatternBytes(10000, kDigits, 8), "1"},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = dir.File("key" + std::to_string(++n) + ".key");
        if (c.before) WriteBytes(path, c.before);
        Type(IDC_KEY, c.key);
        SaveKey(path, c.before ? Existing::Replace : Existing::No);
        EXPECT_EQ(ReadBytes(path), c.key);
        EXPECT_EQ(Text(IDC_KEY), c.key);

        Type(IDC_KEY, "0");
        LoadKey(path);
        EXPECT_EQ(Text(IDC_KEY), c.key);
    }
}

TEST_F(KeyFiles, NameWithoutExtensionIsSavedAsKeyFileWhicheverFilterIsActive) {
    for (int filter : {0, 1}) {
        SCOPED_TRACE(filter == 0 ? "Key files" : "All files");
        const std::string name = "plain" + std::to_string(filter);
        Type(IDC_KEY, "2468");
        PendingClick click(app, Item(IDC_SAVE_KEY));
        HWND dialog = WaitFileDialog(app);
        ASSERT_TRUE(dialog);
        HWND filters = GetDlgItem(dialog, kFileTypeList);
        SendMessageA(filters, CB_SETCURSEL, static_cast<WPARAM>(filter), 0);
        SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(kFileTypeList, CBN_SELCHANGE), reinterpret_cast<LPARAM>(filters));
        TypeFileName(dialog, Wide(dir.File(name)));
        Press(dialog, IDOK);
        EXPECT_TRUE(WaitGone(dialog));
        EXPECT_TRUE(click.Finish().empty());
        EXPECT_EQ(ReadBytes(dir.File(name + ".key")), "2468");
        EXPECT_FALSE(FileExists(dir.File(name)));
    }
}

TEST_F(KeyFiles, KeyFileThatCannotBeReadIsReportedAndKeepsTheKeyBox) {
    struct Case {
        const char* what;
        std::string path;
        std::string report;
    };
    const std::string missing = dir.File("missing.key");
    const std::string noFolder = dir.File("no such folder\\k.key");
    const Case cases[] = {
        {"missing file", missing, "Error with '" + missing + "' : File NOT found!"},
        {"missing folder", noFolder, "Error with '" + noFolder + "' : Bad path!"},
        // Opens, then every read fails: a failed read names no file.
        {"read failure", "Z:\\proc\\self\\mem", "Error with '' : Unknown error!"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Type(IDC_KEY, "123");
        std::vector<SeenBox> boxes = Choose(IDC_OPEN_KEY, c.path);
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].caption, "Error Travok");
        EXPECT_EQ(boxes[0].text, c.report);
        EXPECT_EQ(boxes[0].icon, IDI_HAND);
        EXPECT_EQ(Text(IDC_KEY), "123");
    }
}

TEST_F(KeyFiles, KeyTooLongForTheKeyBoxIsRefusedNotCut) {
    const std::string tooLong = PatternBytes(kKeyBoxLimit + 1, kDigits, 9);
    const struct {
        const char* what;
        std::string bytes;
        bool refused;
        std::string key;
    } cases[] = {
        {"one digit over the limit, the key box kept", tooLong, true, "555"},
        // Only the key counts, not the file: this one ends at its third byte.
        {"a short key before a zero, then a long tail", std::string("77\0", 3) + tooLong, false, "77"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = dir.File("long.key");
        WriteBytes(path, c.bytes);
        Type(IDC_KEY, "555");
        std::vector<SeenBox> boxes = Choose(IDC_OPEN_KEY, path);
        if (c.refused) {
            ASSERT_EQ(boxes.size(), 1u);
            EXPECT_EQ(boxes[0].caption, "Error Travok");
            EXPECT_EQ(boxes[0].text, "The key in this file is longer than the key box can hold (" +
                                         std::to_string(kKeyBoxLimit) + " characters), so it was not loaded.");
            EXPECT_EQ(boxes[0].icon, IDI_HAND);
        } else {
            EXPECT_TRUE(boxes.empty());
        }
        EXPECT_EQ(Text(IDC_KEY), c.key);
    }
}

TEST_F(KeyFiles, SavingOverAnUnwritableFileIsReportedAndLeavesItUnchanged) {
    const std::string path = dir.File("locked.key");
    WriteBytes(path, "31");
    ImmutableFile lock(path);
    if (!lock.Ok()) GTEST_SKIP() << lock.Error();

    Type(IDC_KEY, "4242");
    std::vector<SeenBox> boxes = Choose(IDC_SAVE_KEY, path, Existing::Replace);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "Error Travok");
    EXPECT_EQ(boxes[0].text, "Error with '" + path + "' : Access denied to the specified file!");
    EXPECT_EQ(boxes[0].icon, IDI_HAND);
    EXPECT_EQ(ReadBytes(path), "31");
    EXPECT_EQ(Text(IDC_KEY), "4242");
}

TEST_F(KeyFiles, SavingOntoAFullDiskIsReported) {
    SmallDisk disk(dir.File("small"), "8k");
    if (!disk.Ok()) GTEST_SKIP() << disk.Error();

    // More than the disk holds: the write stores only part of it, without an error.
    const std::string key = PatternBytes(20000, kDigits, 11);
    const std::string path = dir.File("small\\big.key");
    Type(IDC_KEY, key);
    std::vector<SeenBox> boxes = Choose(IDC_SAVE_KEY, path);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Error with '" + path + "' : Unknown error!");
    EXPECT_EQ(Text(IDC_KEY), key);
}

// --- Result copy ----------------------------------------------------------------------

std::pair<DWORD, DWORD> Selection(HWND edit) {
    DWORD_PTR sel = 0;
    SendMessageTimeoutA(edit, EM_GETSEL, 0, 0, SMTO_NORMAL, kSafetyNetMs, &sel);
    return {LOWORD(sel), HIWORD(sel)};
}

TEST_F(KeyFiles, CopyPutsExactlyTheResultBoxTextOnTheClipboardAndSelectsIt) {
    struct Case {
        const char* what;
        std::string input;
        std::string key;
        bool toFile;          // the run writes a file and leaves the result box alone
        std::string edited;   // typed into the result box after the run, when not empty
        std::string copied;
    };
    const Case cases[] = {
        {"after a text run", "Hello", "1", false, "", "Ifmmp"},
        {"after a text run, key walked", "aaaa", "123", false, "", "bcdb"},
        {"after a run to a file: what the box still holds", "zzz", "1", true, "", "bcdb"},
        {"edited by the user, two lines", "x", "1", false, "line one\r\nline two", "line one\r\nline two"},
    };
    Type(IDC_OUTPUT_PATH, dir.File("run.out"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Type(IDC_INPUT, c.input);
        Type(IDC_KEY, c.key);
        app.ClickNow(Item(c.toFile ? IDC_TO_FILE : IDC_TO_TEXT));
        EXPECT_TRUE(app.ClickAndCollect(Item(IDC_ACTION)).empty());
        if (!c.edited.empty()) Type(IDC_RESULT, c.edited);
        ASSERT_TRUE(SetClipboardText("sentinel"));

        app.ClickNow(Item(IDC_COPY));
        EXPECT_EQ(ClipboardText(), c.copied);
        EXPECT_EQ(Text(IDC_RESULT), c.copied);
        EXPECT_EQ(Selection(Item(IDC_RESULT)), std::make_pair(DWORD{0}, static_cast<DWORD>(c.copied.size())));
        EXPECT_EQ(Text(IDC_INPUT), c.input);
        EXPECT_EQ(Text(IDC_KEY), c.key);
    }
}

}  // namespace

namespace {

// The dialogs leave the program's current folder as it was: a name typed without a
// folder still means the folder Travok was started in, and no picked folder is kept open.
TEST(PickerFolders, EveryDialogLeavesTheCurrentFolderAsItWas) {
    TempDir dir;
    const std::string start = dir.File("start"), picked = dir.File("picked");
    ASSERT_TRUE(CreateDirectoryA(start.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA(picked.c_str(), nullptr));
    WriteBytes(start + "\\in.txt", "abc");
    WriteBytes(picked + "\\in.txt", "the wrong folder");

    char before[MAX_PATH];
    ASSERT_TRUE(GetCurrentDirectoryA(MAX_PATH, before));
    ASSERT_TRUE(SetCurrentDirectoryA(start.c_str()));
    TravokProcess app;
    SetCurrentDirectoryA(before);

    SetText(app.Item(IDC_KEY), "1");
    EXPECT_TRUE(ChooseInFileDialog(app, app.Item(IDC_SAVE_KEY), picked + "\\k.key").empty());
    EXPECT_TRUE(ChooseInFileDialog(app, app.Item(IDC_OPEN_KEY), picked + "\\k.key").empty());
    EXPECT_TRUE(ChooseInFileDialog(app, app.Item(IDC_BROWSE_OUTPUT), picked + "\\out.txt").empty());
    EXPECT_TRUE(ChooseInFileDialog(app, app.Item(IDC_BROWSE_INPUT), picked + "\\in.txt").empty());

    SetText(app.Item(IDC_INPUT_PATH), "in.txt");
    SetText(app.Item(IDC_OUTPUT_PATH), "out.txt");
    app.ClickNow(app.Item(IDC_FROM_FILE));
    app.ClickNow(app.Item(IDC_TO_FILE));
    EXPECT_TRUE(app.ClickAndCollect(app.Item(IDC_ACTION)).empty());
    EXPECT_EQ(ReadBytes(start + "\\out.txt"), "bcd");
    EXPECT_FALSE(FileExists(picked + "\\out.txt"));
}

}  // namespace
