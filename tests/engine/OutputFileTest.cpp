// OutputFile's ways of putting a result in place: over an existing file, into a new
// name, straight into a pipe; each answer Windows documents for the replace, made by a
// replacer of the test's own; the clean-up of Wine's leftovers; and the choice of a
// free temporary name.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <optional>
#include <ostream>
#include <thread>
#include <vector>

#include "Driver.h"
#include "TempFiles.h"
#include "engine/OutputFile.h"
#include "framework/Handles.h"

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

// How the test's replacer answers a replace.
enum class Answer {
    System,                    // the real ReplaceFileW
    UnableToRemoveReplaced,    // 1175: both files keep their names
    UnableToMoveReplacement,   // 1176 with no backup: the output is gone, the result keeps its name
    UnableToMoveReplacement2,  // 1177: the output was moved aside, the result keeps its name
    SharingViolation,          // 32, and an empty rf*.tmp left beside the output, as Wine leaves one
};

// Writes down each call, and answers a replace as told, leaving the files in the state
// that Windows documents for that answer. Moves are the system's.
class ScriptedReplacer final : public FileReplacer {
public:
    explicit ScriptedReplacer(Answer answer) : m_answer(answer) {}

    DWORD Replace(const std::wstring& target, const std::wstring& replacement) override {
        calls.push_back("Replace");
        switch (m_answer) {
        case Answer::System: return SystemFileReplacer::Instance().Replace(target, replacement);
        case Answer::UnableToRemoveReplaced: return ERROR_UNABLE_TO_REMOVE_REPLACED;
        case Answer::UnableToMoveReplacement:
            EXPECT_TRUE(DeleteFileW(target.c_str()));
            return ERROR_UNABLE_TO_MOVE_REPLACEMENT;
        case Answer::UnableToMoveReplacement2:
            EXPECT_TRUE(MoveFileW(target.c_str(), (FolderOf(target) + L"~replaced.tmp").c_str()));
            return ERROR_UNABLE_TO_MOVE_REPLACEMENT_2;
        case Answer::SharingViolation: MakeEmpty(FolderOf(target) + L"rf1a2b.tmp"); return ERROR_SHARING_VIOLATION;
        }
        return ERROR_INVALID_FUNCTION;
    }
    DWORD Move(const std::wstring& from, const std::wstring& to, DWORD flags) override {
        calls.push_back("Move " + std::to_string(flags));
        return SystemFileReplacer::Instance().Move(from, to, flags);
    }

    std::vector<std::string> calls;

private:
    Answer m_answer;
};

// What stands at the output's name when the run begins, and what happens to it during
// the run.
enum class Output {
    Existing,
    New,
    ExistingLongPath,  // too long for Wine's ReplaceFileW
    RemovedDuringRun,
    HeldDuringRun,     // opened without delete sharing by someone else
};

const std::string kReplace = "Replace";
const std::string kMoveNew = "Move " + std::to_string(MOVEFILE_WRITE_THROUGH);
const std::string kMoveOver = "Move " + std::to_string(MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);

struct CommitCase {
    const char* name;
    Output output;
    Answer answer;
    std::vector<std::string> calls;  // the replacer's calls, in order
    DWORD error;                     // what Commit raises, NO_ERROR for nothing
    const char* left;                // what the output's name holds after; nullptr: nothing
    std::vector<std::wstring> files;  // the folder after, besides the output
};

void PrintTo(const CommitCase& c, std::ostream* os) { *os << c.name; }

const CommitCase kCommits[] = {
    {"ReplacesAnExistingFile", Output::Existing, Answer::System, {kReplace}, NO_ERROR, "new", {kDecoy}},
    {"MovesIntoANewName", Output::New, Answer::System, {kMoveNew}, NO_ERROR, "new", {kDecoy}},
    {"RenamesOverAnOutputWhosePathIsTooLongToReplace", Output::ExistingLongPath, Answer::System, {kMoveOver},
     NO_ERROR, "new", {kDecoy}},
    // The output went away while the run worked: the result becomes a new file.
    {"MovesIntoTheNameOfAnOutputRemovedMeanwhile", Output::RemovedDuringRun, Answer::System, {kReplace, kMoveNew},
     NO_ERROR, "new", {kDecoy}},
    // Wine's ReplaceFileW leaves an empty rf*.tmp here; only that one is removed.
    {"LeavesAnOutputHeldMeanwhileAsItWas", Output::HeldDuringRun, Answer::System, {kReplace},
     ERROR_SHARING_VIOLATION, "old", {kDecoy}},
    {"RemovesTheLeftoverOfAFailedReplace", Output::Existing, Answer::SharingViolation, {kReplace},
     ERROR_SHARING_VIOLATION, "old", {kDecoy}},
    {"LeavesTheOutputWhenItCannotBeRemoved", Output::Existing, Answer::UnableToRemoveReplaced, {kReplace},
     ERROR_UNABLE_TO_REMOVE_REPLACED, "old", {kDecoy}},
    // Windows has moved the output out of its name before these two answers; the
    // result is given up as on any failure, so the name is left empty.
    {"GivesUpWhenTheResultCannotBeMoved", Output::Existing, Answer::UnableToMoveReplacement, {kReplace},
     ERROR_UNABLE_TO_MOVE_REPLACEMENT, nullptr, {kDecoy}},
    {"GivesUpWhenTheResultCannotBeMovedAfterTheOutputWasMovedAside", Output::Existing,
     Answer::UnableToMoveReplacement2, {kReplace}, ERROR_UNABLE_TO_MOVE_REPLACEMENT_2, nullptr,
     {kDecoy, L"~replaced.tmp"}},
};

class Commit : public testing::TestWithParam<CommitCase> {
protected:
    TempDir dir;
};

TEST_P(Commit, PutsTheResultInPlaceByItsRoute) {
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

    ScriptedReplacer replacer(c.answer);
    std::optional<CFileException> error;
    {
        OutputFile output(typed, replacer);
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
    if (c.error == NO_ERROR) {
        EXPECT_FALSE(error);
    } else {
        ASSERT_TRUE(error);
        EXPECT_EQ(error->m_lOsError, static_cast<LONG>(c.error));
        EXPECT_EQ(error->m_cause, CFileException::OsErrorToException(static_cast<LONG>(c.error)));
        EXPECT_EQ(error->m_strFileName, typed);  // as the user typed it
    }
    if (!c.left) {
        EXPECT_FALSE(FileExists(L"\\\\?\\" + target));
    } else {
        EXPECT_EQ(ReadBytes(L"\\\\?\\" + target), std::string(c.left) == "new" ? kNew : kOld);
    }

    // No temporary file is left, of ours or of Wine's, and nothing else was touched.
    std::vector<std::wstring> expected = c.files;
    if (c.left) expected.push_back(L"out.bin");
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
    ScriptedReplacer replacer(Answer::System);
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
