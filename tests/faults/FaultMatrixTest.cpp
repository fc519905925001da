// Every file operation of the coding page against every file fault that can be made
// here: the report the user sees, every input byte for byte as it was, and at once a
// successful operation of the same kind in the same window.
#include <windows.h>

#include <map>
#include <memory>
#include <ostream>

#include "DialogDriver.h"
#include "PageOperations.h"
#include "PageTest.h"

using namespace travok::test;

namespace {

bool Reads(Op op) { return op == Op::InputToText || op == Op::InputToFile || op == Op::KeyLoad; }
bool ThroughDialog(Op op) { return op == Op::KeyLoad || op == Op::KeySave; }

enum class Fault {
    MissingFile,
    MissingFolder,
    InvalidName,
    AccessDenied,
    HeldElsewhere,
    FullAtOpen,
    FullBeforeWrite,
    FullMidWrite,
    ReadError,
    WriteError,
};

enum class Side { Reading, Writing, Both };

// Which name the report carries: the path as it was opened (a failed open), the file's
// full path (a failed write), or none (a failed read).
enum class Named { AsOpened, FullPath, Nothing };

struct FaultRow {
    Fault fault;
    const char* what;
    Side side;  // the operations it applies to: those that read, that write, or all
    bool inDialog;  // a file dialog returns such a name: the key files meet it too
    Named named;
    std::string message;
};

// The matrix: each fault against each operation of its side. A missing file is no
// fault for an output, a full disk none for an input.
const FaultRow kFaults[] = {
    {Fault::MissingFile, "missing file", Side::Reading, true, Named::AsOpened, kNotFound},
    {Fault::MissingFolder, "missing folder", Side::Both, true, Named::AsOpened, kBadPath},
    // The file dialogs refuse such a name with a message of their own.
    {Fault::InvalidName, "invalid name", Side::Both, false, Named::AsOpened, kBadPath},
    // Root reads and writes what it likes; an immutable file and a file system that
    // refuses the open stop it too.
    {Fault::AccessDenied, "access denied", Side::Both, true, Named::AsOpened, kAccessDenied},
    {Fault::HeldElsewhere, "sharing violation from another process", Side::Both, true, Named::AsOpened, kUnknownError},
    {Fault::FullAtOpen, "disk full at the open (no inode left)", Side::Writing, true, Named::AsOpened, kUnknownError},
    {Fault::FullBeforeWrite, "disk full before the first write", Side::Writing, true, Named::FullPath, kUnknownError},
    // The platform reports this write as a success that stored fewer bytes.
    {Fault::FullMidWrite, "disk full in the middle of a write", Side::Writing, true, Named::FullPath, kUnknownError},
    {Fault::ReadError, "read I/O error", Side::Reading, true, Named::Nothing, kUnknownError},
    {Fault::WriteError, "write I/O error", Side::Writing, true, Named::FullPath, kUnknownError},
};

// A run's output is first made as a new file beside the one named: where the file system
// refuses new files (eiofs), that open fails, and the report names the output as typed.
Named NameIn(const FaultRow& row, Op op) {
    return row.fault == Fault::WriteError && op != Op::KeySave ? Named::AsOpened : row.named;
}

// Whether folder holds a run's temporary file.
bool HasTemporaryFile(const std::string& folder) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\~travok-*.tmp").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return false;
    FindClose(search);
    return true;
}

bool Applies(const FaultRow& row, Op op) {
    if (ThroughDialog(op) && !row.inDialog) return false;
    return row.side == Side::Both || (row.side == Side::Reading) == Reads(op);
}

std::string FullPath(const std::string& path) {
    char full[MAX_PATH * 4];
    DWORD n = GetFullPathNameA(path.c_str(), sizeof full, full, nullptr);
    return n > 0 && n < sizeof full ? std::string(full, n) : path;
}

// Printable text whose coding with any digit key stays printable: no zero byte.
const std::string kTextBytes = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 .,;:!?\r\n";

// A fault made for one row, undone when the object goes.
struct Provoked {
    std::string path;    // the name to open, as typed into a box or a file dialog
    std::string cannot;  // why the fault cannot be made here; empty when it holds
    bool exists = false;  // the path names a file that is there (a save dialog asks first)
    bool readable = true;  // what the file holds afterwards can be read back
    // Shared, not unique: UnixCondition's destructor is protected, and a shared_ptr
    // made for the concrete condition deletes it as what it is.
    std::shared_ptr<UnixCondition> condition;
    std::unique_ptr<HeldFile> holder;
};

class FileFaults : public PageTest, public testing::WithParamInterface<Op> {
protected:
    const std::string key = "31415926";
    const std::string goodKey = "27182818";
    // More than the small disk holds, so that a write meets the full disk half-way; and
    // more than two chunks of a File-to-File run.
    const std::string inText = PatternBytes(20000, kTextBytes, 3);
    const std::string longKey = PatternBytes(20000, "0123456789", 4);
    const std::string before = "what was there before";

    void SetUp() override {
        WriteBytes(dir.File("in.txt"), inText);
        WriteBytes(dir.File("good.key"), goodKey);
        WriteBytes(dir.File("held.bin"), before);
        WriteBytes(dir.File("locked.bin"), before);
        ASSERT_TRUE(CreateDirectoryA(dir.File("out").c_str(), nullptr));
        ASSERT_TRUE(CreateDirectoryA(dir.File("rows").c_str(), nullptr));
        Type(IDC_KEY, GetParam() == Op::KeySave ? longKey : key);
    }

    // The input of the operation: the file it reads when nothing is wrong.
    std::string GoodInput(Op op) const { return dir.File(op == Op::KeyLoad ? "good.key" : "in.txt"); }
    std::string GoodOutput(Op op) const { return dir.File(op == Op::KeySave ? "out\\saved.key" : "out\\result.bin"); }

    // What a successful run writes to its output, or shows as its result.
    std::string Expected(Op op) const {
        switch (op) {
        case Op::InputToText:
        case Op::OutputFromText: return Shifted(inText, key, false);
        case Op::InputToFile:
        case Op::OutputFromFile: return Shifted(inText, key, false, kChunk);
        case Op::KeyLoad: return goodKey;
        case Op::KeySave: return longKey;
        }
        return {};
    }

    Provoked Provoke(const FaultRow& row, Op op, const std::string& folder) const {
        Provoked p;
        // The typed names hold a "." folder, so that the path as opened and the full
        // path differ. A file dialog returns full paths, so those get the full path.
        auto inFolder = [&](const std::string& name) { return folder + "\\.\\" + name; };
        auto mountEioFs = [&] {
            auto mount = std::make_shared<EioMount>(folder);
            if (!mount->Ok()) p.cannot = "eiofs cannot be mounted: " + mount->Error();
            p.condition = std::move(mount);
        };
        auto fullDisk = [&](std::shared_ptr<UnixCondition> disk) {
            if (!disk->Ok()) p.cannot = "a small tmpfs cannot be mounted (needs root): " + disk->Error();
            p.condition = std::move(disk);
            p.path = inFolder("out.bin");
        };
        const bool reads = Reads(op);
        switch (row.fault) {
        case Fault::MissingFile: p.path = dir.File("missing.txt"); break;
        case Fault::MissingFolder: p.path = dir.File("no such folder\\.\\file.txt"); break;
        case Fault::InvalidName: p.path = dir.File(reads ? "a|b.txt" : "a<b.txt"); break;
        case Fault::AccessDenied:
            if (reads) {
                mountEioFs();
                p.path = inFolder("denied.bin");
            } else {
                p.path = dir.File("locked.bin");
                p.exists = true;
                auto locked = std::make_shared<ImmutableFile>(p.path);
                if (!locked->Ok()) p.cannot = "making a file unwritable needs root on ext4: " + locked->Error();
                p.condition = std::move(locked);
            }
            break;
        case Fault::HeldElsewhere:
            p.path = reads ? GoodInput(op) : dir.File("held.bin");
            p.exists = true;
            p.holder = std::make_unique<HeldFile>(p.path);
            if (!p.holder->Held()) p.cannot = "holdfile could not hold the file: " + p.holder->Output();
            break;
        case Fault::FullAtOpen: fullDisk(std::make_shared<FullDisk>(folder, FullDisk::NoInodeLeft)); break;
        case Fault::FullBeforeWrite: fullDisk(std::make_shared<FullDisk>(folder, FullDisk::NoBlockLeft)); break;
        case Fault::FullMidWrite: fullDisk(std::make_shared<SmallDisk>(folder, "8k")); break;
        case Fault::ReadError:
        case Fault::WriteError:
            mountEioFs();
            p.path = inFolder("broken.bin");
            p.exists = true;
            p.readable = false;
            break;
        }
        if (ThroughDialog(op)) p.path = FullPath(p.path);
        return p;
    }

    // Key load or save through its file dialog, answering Yes to the overwrite prompt
    // that saving over an existing file must bring. Returns the boxes shown after.
    std::vector<SeenBox> ThroughFileDialog(int button, const std::string& path, bool exists) const {
        return ChooseInFileDialog(app, Item(button), path,
                                  exists && button == IDC_SAVE_KEY ? OverwritePrompt::Expected : OverwritePrompt::None);
    }

    // Runs the operation with path as the file it reads or writes; the other file, if
    // any, is a good one. Returns the message boxes it showed.
    std::vector<SeenBox> Attempt(Op op, const std::string& path, bool exists) const {
        switch (op) {
        case Op::InputToText:
        case Op::InputToFile:
            SetMode(op == Op::InputToText ? Mode::FileToText : Mode::FileToFile);
            Type(IDC_INPUT, "stale input");
            Type(IDC_RESULT, "untouched");
            Type(IDC_INPUT_PATH, path);
            Type(IDC_OUTPUT_PATH, GoodOutput(op));
            return Action();
        case Op::OutputFromText:
        case Op::OutputFromFile:
            SetMode(op == Op::OutputFromText ? Mode::TextToFile : Mode::FileToFile);
            Type(IDC_INPUT, op == Op::OutputFromText ? inText : "");
            Type(IDC_RESULT, "untouched");
            Type(IDC_INPUT_PATH, op == Op::OutputFromFile ? GoodInput(op) : "");
            Type(IDC_OUTPUT_PATH, path);
            return Action();
        case Op::KeyLoad: Type(IDC_KEY, "555"); return ThroughFileDialog(IDC_OPEN_KEY, path, exists);
        case Op::KeySave: return ThroughFileDialog(IDC_SAVE_KEY, path, exists);
        }
        return {};
    }

    // What the page must show after a failed operation.
    void ExpectPageAfterFailure(Op op) const {
        switch (op) {
        case Op::InputToText:
            EXPECT_TRUE(Text(IDC_INPUT) == "stale input") << "the input text box changed";
            EXPECT_EQ(Text(IDC_RESULT), "untouched");
            break;
        case Op::InputToFile:
        case Op::OutputFromFile: EXPECT_EQ(Text(IDC_RESULT), "untouched"); break;
        case Op::OutputFromText:
            EXPECT_EQ(Text(IDC_RESULT), "untouched");
            EXPECT_TRUE(Text(IDC_INPUT) == inText) << "the input text box changed";
            break;
        case Op::KeyLoad: EXPECT_EQ(Text(IDC_KEY), "555"); break;
        case Op::KeySave: EXPECT_TRUE(Text(IDC_KEY) == longKey) << "the key box changed"; break;
        }
    }

    // The same kind of operation with good files, right after the fault: it must work.
    void ExpectNextOperationWorks(Op op) const {
        SCOPED_TRACE("the next operation, with good files");
        std::vector<SeenBox> boxes = Attempt(op, Reads(op) ? GoodInput(op) : GoodOutput(op), false);
        EXPECT_TRUE(NoMessage(boxes));
        const std::string want = Expected(op);
        switch (op) {
        case Op::InputToText:
            EXPECT_TRUE(Text(IDC_INPUT) == inText) << "the input box does not show the file";
            EXPECT_TRUE(Text(IDC_RESULT) == want) << "wrong result";
            break;
        case Op::KeyLoad: EXPECT_EQ(Text(IDC_KEY), want); break;
        default: EXPECT_TRUE(ReadBytes(GoodOutput(op)) == want) << "wrong output file"; break;
        }
    }

    // The folder's own files and folders: names, and the bytes of each file.
    std::map<std::string, std::string> Snapshot() const {
        std::map<std::string, std::string> all;
        for (const std::string& name : Files()) {
            const std::string path = dir.File(name);
            all[name] = GetFileAttributesA(path.c_str()) & FILE_ATTRIBUTE_DIRECTORY ? "<folder>" : ReadBytes(path);
        }
        return all;
    }
};

TEST_P(FileFaults, EachFaultIsReportedLosesNothingAndTheNextOperationWorks) {
    const Op op = GetParam();
    std::vector<std::string> skipped;
    int rows = 0;
    for (const FaultRow& row : kFaults) {
        if (!Applies(row, op)) continue;
        SCOPED_TRACE(std::string(OpName(op)) + " against " + row.what);
        const std::string folder = dir.File("rows\\" + std::to_string(++rows));
        DeleteFileA(GoodOutput(op).c_str());
        const auto filesBefore = Snapshot();
        {
            Provoked fault = Provoke(row, op, folder);
            if (!fault.cannot.empty()) {
                skipped.push_back(std::string(row.what) + ": " + fault.cannot);
                continue;
            }
            const std::string& path = fault.path;
            const Named how = NameIn(row, op);
            const std::string named = how == Named::AsOpened ? path : how == Named::FullPath ? FullPath(path) : "";
            EXPECT_TRUE(OneReport(Attempt(op, path, fault.exists), named, row.message));
            ExpectPageAfterFailure(op);

            // What a failed write leaves. A run writes into a temporary file that takes
            // the output's place only when whole: a new output is not there at all, an
            // existing one is as it was (the snapshot below), and no temporary file is
            // left. A key file is written directly: a part of it, never other bytes.
            if (op == Op::KeySave && how == Named::FullPath && fault.readable) {
                const std::string written = ReadBytes(FullPath(path));
                const std::string want = Expected(op);
                EXPECT_LT(written.size(), want.size());
                EXPECT_TRUE(want.compare(0, written.size(), written) == 0)
                    << "the part written is not the start of the output";
            } else if (!Reads(op) && !fault.exists) {
                EXPECT_FALSE(FileExists(FullPath(path))) << "a new output was left behind";
            }
            if (!Reads(op)) {
                const std::string full = FullPath(path);
                EXPECT_FALSE(HasTemporaryFile(full.substr(0, full.find_last_of('\\'))))
                    << "a temporary file was left behind";
            }
            if (op == Op::InputToFile) {
                EXPECT_FALSE(FileExists(GoodOutput(op))) << "the output was created";
                EXPECT_FALSE(HasTemporaryFile(dir.File("out"))) << "a temporary file was left behind";
            }
        }
        // Every input, and every file whose open failed, byte for byte as it was; no new file.
        EXPECT_TRUE(Snapshot() == filesBefore) << "the folder's files changed";
        ExpectNextOperationWorks(op);
    }
    EXPECT_EQ(WaitForSingleObject(app.Handle(), 0), static_cast<DWORD>(WAIT_TIMEOUT)) << "Travok ended";
    if (!skipped.empty()) {
        std::string why;
        for (const std::string& s : skipped) why += "\n  " + s;
        GTEST_SKIP() << skipped.size() << " of " << rows << " faults could not be made here; the others ran:" << why;
    }
}

INSTANTIATE_TEST_SUITE_P(EveryOperation, FileFaults,
                         testing::Values(Op::InputToText, Op::InputToFile, Op::OutputFromText, Op::OutputFromFile,
                                         Op::KeyLoad, Op::KeySave),
                         [](const testing::TestParamInfo<Op>& param) { return std::string(OpName(param.param)); });

}  // namespace
