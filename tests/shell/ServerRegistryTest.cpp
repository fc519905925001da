// The server's registry entries: the LocalServer32 path form, and the refresh falling
// back to the user's own classes when the machine's cannot be written.
#include <gtest/gtest.h>

#include <climits>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "shell/ServerRegistry.h"

namespace {

struct PathCase {
    const char* what;
    const wchar_t* longPath;
    const wchar_t* shortPath;
    const wchar_t* expected;
    friend void PrintTo(const PathCase& c, std::ostream* os) { *os << c.what; }
};

const PathCase kPaths[] = {
    {"short form of a path with spaces", L"C:\\Program Files\\Travok\\Travok.exe",
     L"C:\\PROGRA~1\\Travok\\Travok.exe", L"C:\\PROGRA~1\\Travok\\Travok.exe"},
    {"no short form, spaces", L"C:\\Program Files\\Travok\\Travok.exe", L"",
     L"\"C:\\Program Files\\Travok\\Travok.exe\""},
    {"short names disabled: the short form is the long one", L"C:\\Program Files\\Travok\\Travok.exe",
     L"C:\\Program Files\\Travok\\Travok.exe", L"\"C:\\Program Files\\Travok\\Travok.exe\""},
    {"no short form, no space", L"C:\\Tools\\Travok.exe", L"", L"C:\\Tools\\Travok.exe"},
    {"short form equal to a long path without spaces", L"C:\\Tools\\Travok.exe", L"C:\\Tools\\Travok.exe",
     L"C:\\Tools\\Travok.exe"},
    {"a space only in the file's own name", L"D:\\T\\My Travok.exe", L"", L"\"D:\\T\\My Travok.exe\""},
    {"letters outside the ANSI code page, short form", L"C:\\\u0141\u00f3d\u017a \u041a\u0438\u0440\\Travok.exe",
     L"C:\\__D_~GDC\\Travok.exe", L"C:\\__D_~GDC\\Travok.exe"},
    {"letters outside the ANSI code page, no short form", L"C:\\\u0141\u00f3d\u017a \u041a\u0438\u0440\\Travok.exe",
     L"", L"\"C:\\\u0141\u00f3d\u017a \u041a\u0438\u0440\\Travok.exe\""},
};

class ServerPathForm : public testing::TestWithParam<PathCase> {};

TEST_P(ServerPathForm, CannotBeMisread) {
    const PathCase& c = GetParam();
    EXPECT_EQ(ServerCommandPath(c.longPath, c.shortPath), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Table, ServerPathForm, testing::ValuesIn(kPaths));

// The identifiers of a registration that only these tests use.
constexpr CLSID kTestClsid = {0x7C3B5AF0, 0x4E2F, 0x11D4, {0x8B, 0x91, 0x00, 0xA0, 0xC9, 0x5E, 0x3D, 0x27}};
const std::wstring kTestClsidText = L"{7C3B5AF0-4E2F-11D4-8B91-00A0C95E3D27}";
const std::string kTestProgId = "Travok.RegistryTest";
const std::wstring kTestProgIdWide = L"Travok.RegistryTest";
const std::wstring kServer = L"C:\\PROGRA~1\\Travok\\Travok.exe";

using Entries = std::map<std::wstring, std::wstring>;

// The six entries of a registration, in the documented form.
Entries SixEntries(const std::wstring& server = kServer) {
    const std::wstring clsidKey = L"CLSID\\" + kTestClsidText;
    return {
        {kTestProgIdWide, kTestProgIdWide},
        {clsidKey, kTestProgIdWide},
        {kTestProgIdWide + L"\\CLSID", kTestClsidText},
        {clsidKey + L"\\ProgID", kTestProgIdWide},
        {clsidKey + L"\\InprocHandler32", L"ole32.dll"},
        {clsidKey + L"\\LocalServer32", server},
    };
}

// A hive in memory that takes a given number of writes and refuses the rest.
class MemoryHive final : public ClassesHive {
public:
    explicit MemoryHive(int writesTaken = INT_MAX, Entries start = {}) : values(std::move(start)), m_left(writesTaken) {}

    std::optional<std::wstring> Read(const std::wstring& key) const override {
        auto it = values.find(key);
        if (it == values.end()) return std::nullopt;
        return it->second;
    }
    bool Write(const std::wstring& key, const std::wstring& value) override {
        if (m_left-- <= 0) return false;
        values[key] = value;
        ++writes;
        return true;
    }

    Entries values;
    int writes = 0;

private:
    int m_left;
};

struct FallbackCase {
    const char* what;
    int machineWrites;       // how many writes the machine's hive takes
    bool machineHasEntries;  // the machine's hive holds the six already
    int userWrites;
    RegisteredIn expected;
    size_t machineEntries;   // entries in the machine's hive afterwards
    bool userHasSix;
    friend void PrintTo(const FallbackCase& c, std::ostream* os) { *os << c.what; }
};

const FallbackCase kFallbacks[] = {
    {"the machine takes every write", INT_MAX, false, INT_MAX, RegisteredIn::Machine, 6, false},
    {"the machine refuses every write", 0, false, INT_MAX, RegisteredIn::User, 0, true},
    {"the machine refuses the fourth write: three stay there", 3, false, INT_MAX, RegisteredIn::User, 3, true},
    {"a read-only machine hive that is right needs no write", 0, true, 0, RegisteredIn::Machine, 6, false},
    {"neither hive takes a write", 0, false, 0, RegisteredIn::Nowhere, 0, false},
};

class Fallback : public testing::TestWithParam<FallbackCase> {};

TEST_P(Fallback, WritesTheSixEntriesWhereTheyCanBeWritten) {
    const FallbackCase& c = GetParam();
    MemoryHive machine(c.machineWrites, c.machineHasEntries ? SixEntries() : Entries{});
    MemoryHive user(c.userWrites);
    EXPECT_EQ(RefreshServerRegistry(kTestClsid, kTestProgId, kServer, machine, user), c.expected);
    EXPECT_EQ(machine.values.size(), c.machineEntries);
    EXPECT_EQ(user.values, c.userHasSix ? SixEntries() : Entries{});
}

INSTANTIATE_TEST_SUITE_P(Table, Fallback, testing::ValuesIn(kFallbacks));

TEST(Refresh, UserHiveKeepsItsNameKeysAndGetsTheServerKeysRewritten) {
    Entries old = SixEntries();
    old[kTestProgIdWide] = L"Someone's name";
    old[kTestProgIdWide + L"\\CLSID"] = L"{00000000-0000-0000-0000-000000000000}";
    old[L"CLSID\\" + kTestClsidText + L"\\LocalServer32"] = L"C:\\Old\\Travok.exe";
    MemoryHive machine(0);
    MemoryHive user(INT_MAX, old);
    EXPECT_EQ(RefreshServerRegistry(kTestClsid, kTestProgId, kServer, machine, user), RegisteredIn::User);
    Entries expected = SixEntries();
    expected[kTestProgIdWide] = L"Someone's name";
    EXPECT_EQ(user.values, expected);
    EXPECT_EQ(user.writes, 2) << "only the two server entries that were wrong";
}

TEST(Refresh, NoServerPathWritesNothing) {
    MemoryHive machine;
    MemoryHive user;
    EXPECT_EQ(RefreshServerRegistry(kTestClsid, kTestProgId, L"", machine, user), RegisteredIn::Nowhere);
    EXPECT_TRUE(machine.values.empty());
    EXPECT_TRUE(user.values.empty());
}

// The machine's classes of the real registry, except that every write is refused, as a
// standard user meets them on Windows; Wine itself refuses none.
class RefusingMachineHive final : public ClassesHive {
public:
    std::optional<std::wstring> Read(const std::wstring& key) const override { return m_real.Read(key); }
    bool Write(const std::wstring&, const std::wstring&) override { return false; }

private:
    RegistryClassesHive m_real = RegistryClassesHive::Machine();
};

std::optional<std::wstring> ReadValue(HKEY root, const std::wstring& key) {
    wchar_t value[1024] = {};
    LONG size = sizeof value;
    if (RegQueryValueW(root, (L"Software\\Classes\\" + key).c_str(), value, &size) != ERROR_SUCCESS)
        return std::nullopt;
    return std::wstring(value);
}

class UserClasses : public testing::Test {
protected:
    void SetUp() override { DeleteTestKeys(); }
    void TearDown() override { DeleteTestKeys(); }

    // The six entries are in the classes under holder, and none under other.
    static void ExpectSixEntriesOnlyIn(HKEY holder, HKEY other, const std::wstring& server = kServer) {
        for (const auto& [key, value] : SixEntries(server)) {
            SCOPED_TRACE(testing::PrintToString(key));
            EXPECT_EQ(ReadValue(holder, key), value);
            EXPECT_EQ(ReadValue(other, key), std::nullopt);
        }
    }

    static void DeleteTestKeys() {
        for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE})
            for (const std::wstring& key : {kTestProgIdWide, L"CLSID\\" + kTestClsidText})
                RegDeleteTreeW(root, (L"Software\\Classes\\" + key).c_str());
    }
};

TEST_F(UserClasses, RefusedMachineWritesLandUnderTheCurrentUsersClasses) {
    RefusingMachineHive machine;
    RegistryClassesHive user = RegistryClassesHive::User();
    // A server path of letters that no ANSI code page holds all of comes back whole.
    const std::wstring server = L"\"C:\\\u0141\u00f3d\u017a \u041a\u0438\u0440\\Travok.exe\"";
    EXPECT_EQ(RefreshServerRegistry(kTestClsid, kTestProgId, server, machine, user), RegisteredIn::User);
    ExpectSixEntriesOnlyIn(HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, server);
}

TEST_F(UserClasses, AWritableMachineHiveTakesTheEntries) {
    RegistryClassesHive machine = RegistryClassesHive::Machine();
    RegistryClassesHive user = RegistryClassesHive::User();
    EXPECT_EQ(RefreshServerRegistry(kTestClsid, kTestProgId, kServer, machine, user), RegisteredIn::Machine);
    ExpectSixEntriesOnlyIn(HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER);
}

}  // namespace
