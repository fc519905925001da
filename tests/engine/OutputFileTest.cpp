// OutputFile's ways of putting a result in place: over an existing file, into a new
// name, straight into a pipe; each answer Windows documents for the replace, made by a
// replacer of the test's own, alone and followed by failing moves; brief and lasting
// holds; the clean-up of Wine's leftovers; and the choice of a free temporary name.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <optional>
#include <ostream>
#include <thread>
#include <vector>

#include "Driver.h"
#include "TempFiles.h"
#include "engine/FileErrorText.h"
#include "engine/OutputFile.h"
#include "framework/Handles.h"
#include "framework/Wine.h"

using namespace travok;
using namespace travok::test;

namespace {

const std::string kOld = "the output as it was";
const std::string kNew = "the whole result";
const std::wstring kDecoy = L"rf0000.tmp";  // an empty file of that pattern that was there before

std::wstring FolderOf(const std::wstring& path) { return path.substr(0, path.find_last_of(L'\\') + 1); }

void MakeEmpty(const std::wstring& path) {
    const UniqueHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
    EXPECT_NE(file.get(), INVALID_HANDLE_VALUE) << Utf8(path);
}

// How the test's replacer answers a replace: each way Windows documents, leaving the
// files as it says, since Wine's ReplaceFileW never gives most of them.
enum class Answer {
    System,                          // the real ReplaceFileW
    UnableToRemoveReplaced,          // 1175: nothing changed
    UnableToMoveReplacement,         // 1176 with a backup name: both files keep their names
    UnableToMoveReplacementNoBackup, // 1176 as without a backup name: the output is gone
    UnableToMoveReplacement2,        // 1177: the output is under the backup name
    SharingViolation,                // 32 for as long as it is asked, and an empty rf*.tmp as Wine leaves
    SharingViolationOnce,            // 32 once, as a scanner's glance gives; then the real one
    ReplacedAsWindowsDoes,           // success at any length: the output to the backup, the result to its name
};

// Writes down each call, and answers a replace as told. Moves are the system's, or
// answer a lasting sharing violation and change nothing.
class ScriptedReplacer final : public FileReplacer {
public:
    ScriptedReplacer(Answer answer, bool movesFail) : m_answer(answer), m_movesFail(movesFail) {}

    DWORD Replace(const std::wstring& target, const std::wstring& replacement, const std::wstring& backup) override {
        Record("Replace");
        m_temporary = replacement;
        m_backup = backup;
        switch (m_answer) {
        case Answer::System: return SystemFileReplacer::Instance().Replace(target, replacement, backup);
        case Answer::UnableToRemoveReplaced: return ERROR_UNABLE_TO_REMOVE_REPLACED;
        case Answer::UnableToMoveReplacement: return ERROR_UNABLE_TO_MOVE_REPLACEMENT;
        case Answer::UnableToMoveReplacementNoBackup:
            EXPECT_TRUE(DeleteFileW(target.c_str()));
            return ERROR_UNABLE_TO_MOVE_REPLACEMENT;
        case Answer::UnableToMoveReplacement2:
            EXPECT_TRUE(MoveFileW(target.c_str(), backup.c_str()));
            return ERROR_UNABLE_TO_MOVE_REPLACEMENT_2;
        case Answer::SharingViolation:
            if (!FileExists(FolderOf(target) + L"rf1a2b.tmp")) MakeEmpty(FolderOf(target) + L"rf1a2b.tmp");
            return ERROR_SHARING_VIOLATION;
        case Answer::SharingViolationOnce:
            m_answer = Answer::System;
            return ERROR_SHARING_VIOLATION;
        case Answer::ReplacedAsWindowsDoes:
            EXPECT_TRUE(MoveFileW(target.c_str(), backup.c_str()));
            EXPECT_TRUE(MoveFileW(replacement.c_str(), target.c_str()));
            return NO_ERROR;
        }
        return ERROR_INVALID_FUNCTION;
    }
    DWORD Move(const std::wstring& from, const std::wstring& to, DWORD flags) override {
        Record(std::string(from == m_backup ? "Move backup " : "Move result ") + std::to_string(flags));
        if (m_movesFail) return ERROR_SHARING_VIOLATION;
        return SystemFileReplacer::Instance().Move(from, to, flags);
    }

    // In order, each run of repeated calls (a wait's retries) once.
    std::vector<std::string> calls;

private:
    void Record(const std::string& call) {
        if (calls.empty() || calls.back() != call) calls.push_back(call);
    }

    Answer m_answer;
    bool m_movesFail;
    std::wstring m_temporary, m_backup;
};

// Time that passes only by the waits' own sleeps.
class StepClock final : public RetryClock {
public:
    ULONGLONG Now() override { return now; }
    void Sleep(DWORD milliseconds) override { now += milliseconds; }
    ULONGLONG now = 0;
};

// What stands at the output's name when the run begins, and what happens to it during
// the run.
enum class Output {
    Existing,
    New,
    ExistingLongPath,  // too long for Wine's ReplaceFileW
    RemovedDuringRun,
    HeldDuringRun,     // opened without delete sharing by someone else, for good
};

const std::string kReplace = "Replace";
const std::string kMoveNew = "Move result " + std::to_string(MOVEFILE_WRITE_THROUGH);
const std::string kMoveBack = "Move backup " + std::to_string(MOVEFILE_WRITE_THROUGH);
const std::string kMoveOver = "Move result " + std::to_string(MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);

// Whose answers the program takes: where Wine differs, the program works around it only
// under Wine.
enum class Host { Wine, Windows };

// Which files hold the bytes after a commit that could not finish, besides the output's name.
enum Kept { kNothingKept = 0, kResultKept = 1, kBothKept = 3 };

struct CommitCase {
    const char* name;
    Output output;
    Answer answer;
    bool movesFail;                  // every move answers a lasting sharing violation
    std::vector<std::string> calls;  // the replacer's calls, in order
    DWORD error;                     // what Commit raises, NO_ERROR for nothing
    const char* left;                // what the output's name holds after; nullptr: nothing
    Kept kept;                       // the files the report names, and the only ones left
    bool waits;                      // a hold was waited out
    Host host = Host::Wine;
};

void PrintTo(const CommitCase& c, std::ostream* os) { *os << c.name; }

constexpr bool kMovesWork = false, kMovesFail = true;

const CommitCase kCommits[] = {
    {"ReplacesAnExistingFile", Output::Existing, Answer::System, kMovesWork, {kReplace}, NO_ERROR, "new",
     kNothingKept, false},
    {"MovesIntoANewName", Output::New, Answer::System, kMovesWork, {kMoveNew}, NO_ERROR, "new", kNothingKept, false},
    // Nothing was there before: a result that cannot take the name is given up.
    {"GivesUpANewOutputWhoseNameCannotBeTaken", Output::New, Answer::System, kMovesFail, {kMoveNew},
     ERROR_SHARING_VIOLATION, nullptr, kNothingKept, true},
    {"RenamesOverAnOutputWhosePathIsTooLongToReplace", Output::ExistingLongPath, Answer::System, kMovesWork,
     {kMoveOver}, NO_ERROR, "new", kNothingKept, false},
    {"ReplacesALongPathOutputUnderWindows", Output::ExistingLongPath, Answer::ReplacedAsWindowsDoes, kMovesWork,
     {kReplace}, NO_ERROR, "new", kNothingKept, false, Host::Windows},
    {"LeavesALongPathOutputWhenTheRenameFails", Output::ExistingLongPath, Answer::System, kMovesFail, {kMoveOver},
     ERROR_SHARING_VIOLATION, "old", kNothingKept, true},
    // The output went away while the run worked: the result becomes a new file, or,
    // failing that, is kept.
    {"MovesIntoTheNameOfAnOutputRemovedMeanwhile", Output::RemovedDuringRun, Answer::System, kMovesWork,
     {kReplace, kMoveNew}, NO_ERROR, "new", kNothingKept, false},
    {"KeepsTheResultWhenTheNameOfAnOutputRemovedMeanwhileCannotBeTaken", Output::RemovedDuringRun, Answer::System,
     kMovesFail, {kReplace, kMoveNew}, ERROR_FILE_NOT_FOUND, nullptr, kResultKept, true},
    // A real hold under Wine, which also leaves an rf*.tmp; only that one is removed.
    {"LeavesAnOutputHeldMeanwhileAsItWas", Output::HeldDuringRun, Answer::System, kMovesWork, {kReplace},
     ERROR_SHARING_VIOLATION, "old", kNothingKept, true},
    {"WaitsOutABriefHold", Output::Existing, Answer::SharingViolationOnce, kMovesWork, {kReplace}, NO_ERROR, "new",
     kNothingKept, true},
    {"RemovesTheLeftoverOfAFailedReplace", Output::Existing, Answer::SharingViolation, kMovesWork, {kReplace},
     ERROR_SHARING_VIOLATION, "old", kNothingKept, true},
    // Windows' ReplaceFileW leaves no file of its own: an empty one of that pattern is
    // another program's.
    {"LeavesEmptyFilesOfWinesPatternAloneUnderWindows", Output::Existing, Answer::SharingViolation, kMovesWork,
     {kReplace}, ERROR_SHARING_VIOLATION, "old", kNothingKept, true, Host::Windows},
    {"RemovesTheLeftoverOfAFailedReplaceWhenMovesFail", Output::Existing, Answer::SharingViolation, kMovesFail,
     {kReplace}, ERROR_SHARING_VIOLATION, "old", kNothingKept, true},
    {"LeavesTheOutputWhenItCannotBeRemoved", Output::Existing, Answer::UnableToRemoveReplaced, kMovesWork, {kReplace},
     ERROR_UNABLE_TO_REMOVE_REPLACED, "old", kNothingKept, false},
    {"LeavesTheOutputWhenItCannotBeRemovedAndMovesFail", Output::Existing, Answer::UnableToRemoveReplaced,
     kMovesFail, {kReplace}, ERROR_UNABLE_TO_REMOVE_REPLACED, "old", kNothingKept, false},
    {"LeavesTheOutputWhenTheResultCannotBeMoved", Output::Existing, Answer::UnableToMoveReplacement, kMovesWork,
     {kReplace}, ERROR_UNABLE_TO_MOVE_REPLACEMENT, "old", kNothingKept, false},
    {"LeavesTheOutputWhenTheResultCannotBeMovedAndMovesFail", Output::Existing, Answer::UnableToMoveReplacement,
     kMovesFail, {kReplace}, ERROR_UNABLE_TO_MOVE_REPLACEMENT, "old", kNothingKept, false},
    // The output is gone: the result takes its place, or is kept and named.
    {"MovesTheResultIntoTheNameOfAnOutputThatIsGone", Output::Existing, Answer::UnableToMoveReplacementNoBackup,
     kMovesWork, {kReplace, kMoveNew}, NO_ERROR, "new", kNothingKept, false},
    {"KeepsTheResultWhenTheOutputIsGoneAndMovesFail", Output::Existing, Answer::UnableToMoveReplacementNoBackup,
     kMovesFail, {kReplace, kMoveNew}, ERROR_UNABLE_TO_MOVE_REPLACEMENT, nullptr, kResultKept, true},
    // The output is under the backup's name: it goes back, or else the result takes
    // the name, or else both are kept and named.
    {"PutsTheBackupBackWhenTheOutputWasMovedAside", Output::Existing, Answer::UnableToMoveReplacement2, kMovesWork,
     {kReplace, kMoveBack}, ERROR_UNABLE_TO_MOVE_REPLACEMENT_2, "old", kNothingKept, false},
    {"KeepsBothWhenTheOutputWasMovedAsideAndMovesFail", Output::Existing, Answer::UnableToMoveReplacement2,
     kMovesFail, {kReplace, kMoveBack, kMoveNew}, ERROR_UNABLE_TO_MOVE_REPLACEMENT_2, nullptr, kBothKept, true},
};

std::wstring NameIn(const std::wstring& path) { return path.substr(path.find_last_of(L'\\') + 1); }

bool IsOurTemporaryName(const std::wstring& name) {
    return name.size() == 20 && name.rfind(L"~travok-", 0) == 0 && name.substr(16) == L".tmp";
}

class Commit : public testing::TestWithParam<CommitCase> {
protected:
    void SetUp() override { SetRunningUnderWine(GetParam().host == Host::Wine); }
    void TearDown() override { SetRunningUnderWine(std::nullopt); }

    TempDir dir;
};

TEST_P(Commit, LeavesTheOldBytesOrTheNewOnesWhole) {
    const CommitCase& c = GetParam();
    std::wstring folder = dir.PathW();
    if (c.output == Output::ExistingLongPath) {
        folder += std::wstring(240, L'd') + L"\\";
        ASSERT_TRUE(CreateDirectoryW((L"\\\\?\\" + folder).c_str(), nullptr));
    }
    const std::wstring target = folder + L"out.bin";
    // As a user could type it: the full path is another string.
    const std::wstring typed = folder + L".\\out.bin";
    if (c.output != Output::New) WriteBytes(target, kOld);
    MakeEmpty(L"\\\\?\\" + folder + kDecoy);

    ScriptedReplacer replacer(c.answer, c.movesFail);
    StepClock clock;
    std::optional<CFileException> error;
    {
        OutputFile output(typed, replacer, clock);
        output.File().Write(kNew.data(), static_cast<UINT>(kNew.size()));
        UniqueHandle holder;
        if (c.output == Output::RemovedDuringRun) {
            ASSERT_TRUE(DeleteFileW(target.c_str()));
        }
        if (c.output == Output::HeldDuringRun)
            holder.reset(CreateFileW(target.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        try {
            output.Commit();
        } catch (const CFileException& e) {
            error = e;
        }
    }

    EXPECT_EQ(replacer.calls, c.calls);
    EXPECT_EQ(clock.now > 0, c.waits) << "waited " << clock.now << " ms";
    EXPECT_LE(clock.now, c.calls.size() * (kHoldWait + kHoldPause));  // a wait at most for each step
    std::vector<std::wstring> expected = {kDecoy};
    if (c.answer == Answer::SharingViolation && c.host == Host::Windows) expected.push_back(L"rf1a2b.tmp");
    if (c.error == NO_ERROR) {
        EXPECT_FALSE(error);
    } else {
        ASSERT_TRUE(error);
        EXPECT_EQ(error->m_lOsError, static_cast<LONG>(c.error));
        EXPECT_EQ(error->m_cause, CFileException::OsErrorToException(static_cast<LONG>(c.error)));
        EXPECT_EQ(error->m_strFileName, typed);  // as the user typed it
        // The report names each file it keeps: the new bytes, and the old ones if they
        // could not go back, both beside the output.
        const std::wstring text = FileErrorText(*error);
        EXPECT_EQ(!error->m_strResultKept.empty(), (c.kept & kResultKept) != 0);
        EXPECT_EQ(!error->m_strOriginalKept.empty(), c.kept == kBothKept);
        for (const std::wstring* kept : {&error->m_strResultKept, &error->m_strOriginalKept}) {
            if (kept->empty()) continue;
            EXPECT_NE(text.find(L"'" + *kept + L"'"), std::wstring::npos) << Utf8(text);
            EXPECT_EQ(FolderOf(*kept), folder);
            EXPECT_TRUE(IsOurTemporaryName(NameIn(*kept))) << Utf8(*kept);
            expected.push_back(NameIn(*kept));
        }
        if (!error->m_strResultKept.empty()) {
            EXPECT_EQ(ReadBytes(L"\\\\?\\" + error->m_strResultKept), kNew);
        }
        if (!error->m_strOriginalKept.empty()) {
            EXPECT_EQ(ReadBytes(L"\\\\?\\" + error->m_strOriginalKept), kOld);
        }
    }
    if (!c.left) {
        EXPECT_FALSE(FileExists(L"\\\\?\\" + target));
    } else {
        EXPECT_EQ(ReadBytes(L"\\\\?\\" + target), std::string(c.left) == "new" ? kNew : kOld);
        expected.push_back(L"out.bin");
    }

    // No temporary file or backup is left, of ours or of Wine's, unless the report names
    // it, and nothing else was touched.
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(FileNames(folder), expected);
}

INSTANTIATE_TEST_SUITE_P(Routes, Commit, testing::ValuesIn(kCommits), [](const auto& row) {
    return std::string(row.param.name);
});

// A pipe is written as it goes: the bytes arrive before the commit, which has nothing
// to put in place.
TEST(OutputFileToAPipe, IsWrittenDirectly) {
    const std::wstring name = L"\\\\.\\pipe\\travok-engine-" + std::to_wstring(GetCurrentProcessId());
    const UniqueHandle server(CreateNamedPipeW(name.c_str(), PIPE_ACCESS_INBOUND, PIPE_TYPE_BYTE | PIPE_WAIT, 1, 0,
                                               65536, 0, nullptr));
    ASSERT_NE(server.get(), INVALID_HANDLE_VALUE);
    std::string received;
    std::atomic<size_t> count{0};
    std::thread reader([&] {
        if (!ConnectNamedPipe(server.get(), nullptr) && GetLastError() != ERROR_PIPE_CONNECTED) return;
        char buffer[4096];
        DWORD got = 0;
        while (ReadFile(server.get(), buffer, sizeof buffer, &got, nullptr) && got > 0) {
            received.append(buffer, got);
            count = received.size();
        }
    });
    ScriptedReplacer replacer(Answer::System, kMovesWork);
    {
        OutputFile output(name, replacer);
        output.File().Write(kNew.data(), static_cast<UINT>(kNew.size()));
        EXPECT_TRUE(WaitFor([&] { return count == kNew.size(); }));
        output.Commit();
    }
    reader.join();
    EXPECT_EQ(received, kNew);
    EXPECT_TRUE(replacer.calls.empty());
}

// The loop that picks the temporary file's name passes over every name that is taken
// and leaves those files alone.
TEST(FreeTemporaryName, PassesOverNamesThatAreTaken) {
    TempDir dir;
    struct Case {
        const char* what;
        unsigned first;
        unsigned taken;  // names from first on that exist already
        const wchar_t* chosen;
    };
    const Case cases[] = {
        {"a free first name", 0x1000, 0, L"~travok-00001000.tmp"},
        {"three taken", 0x2000, 3, L"~travok-00002003.tmp"},
        {"the count wraps around", 0xFFFFFFFF, 1, L"~travok-00000000.tmp"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::wstring> takenNames;
        for (unsigned i = 0; i < c.taken; ++i) {
            wchar_t name[32];
            swprintf(name, 32, L"~travok-%08x.tmp", c.first + i);
            takenNames.push_back(dir.FileW(name));
            WriteBytes(takenNames.back(), "taken");
        }
        CFile file;
        EXPECT_EQ(CreateFreeTemporary(file, dir.PathW(), c.first), dir.FileW(c.chosen));
        EXPECT_TRUE(file.IsOpen());
        file.Close();
        EXPECT_EQ(ReadBytes(dir.FileW(c.chosen)), "");
        for (const std::wstring& taken : takenNames) EXPECT_EQ(ReadBytes(taken), "taken");
    }
}

TEST(FreeTemporaryName, RaisesWhatKeepsAnyNameFromBeingMade) {
    TempDir dir;
    CFile file;
    try {
        CreateFreeTemporary(file, dir.FileW(L"no such folder\\"), 0);
        ADD_FAILURE() << "a temporary file was made in a missing folder";
    } catch (const CFileException& e) {
        EXPECT_EQ(e.m_cause, CFileException::badPath);
    }
}

// Two outputs to one name at once each write a temporary file of their own.
TEST(FreeTemporaryName, DiffersBetweenOutputsOfOneName) {
    TempDir dir;
    {
        OutputFile first(dir.FileW(L"out.bin")), second(dir.FileW(L"out.bin"));
        first.File().Write("1", 1);
        second.File().Write("2", 1);
        EXPECT_EQ(FileNames(dir.PathW()).size(), 2u);
    }
    EXPECT_TRUE(FileNames(dir.PathW()).empty()) << "a temporary file was left";
}

}  // namespace
