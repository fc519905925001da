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
    const char* longPath;
    const char* shortPath;
    const char* expected;
    friend void PrintTo(const PathCase& c, std::ostream* os) { *os << c.what; }
};

const PathCase kPaths[] = {
    {"short form of a path with spaces", "C:\\Program Files\\Travok\\Travok.exe", "C:\\PROGRA~1\\Travok\\Travok.exe",
     "C:\\PROGRA~1\\Travok\\Travok.exe"},
    {"no short form, spaces", "C:\\Program Files\\Travok\\Travok.exe", "",
     "\"C:\\Program Files\\Travok\\Travok.exe\""},
    {"short names disabled: the short form is the long one", "C:\\Program Files\\Travok\\Travok.exe",
     "C:\\Program Files\\Travok\\Travok.exe", "\"C:\\Program Files\\Travok\\Travok.exe\""},
    {"no short form, no space", "C:\\Tools\\Travok.exe", "", "C:\\Tools\\Travok.exe"},
    {"short form equal to a long path without spaces", "C:\\Tools\\Travok.exe", "C:\\Tools\\Travok.exe",
     "C:\\Tools\\Travok.exe"},
    {"a space only in the file's own name", "D:\\T\\My Travok.exe", "", "\"D:\\T\\My Travok.exe\""},
    {"a path of a user's own programs", "C:\\Users\\Ana Maria\\AppData\\Local\\Programs\\Travok\\Travok.exe",
     "C:\\Users\\ANAMAR~1\\AppData\\Local\\Programs\\Travok\\Travok.exe",
     "C:\\Users\\ANAMAR~1\\AppData\\Local\\Programs\\Travok\\Travok.exe"},
};

class ServerPathForm : public testing::TestWithParam<PathCase> {};

TEST_P(ServerPathForm, CannotBeMisread) {
    const PathCase& c = GetParam();
    EXPECT_EQ(ServerCommandPath(c.longPath, c.shortPath), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Table, ServerPathForm, testing::ValuesIn(kPaths));

// The identifiers of a registration that only these tests use.
constexpr CLSID kTestClsid = {0x7C3B5AF0, 0x4E2F, 0x11D4, {0x8B, 0x91, 0x00, 0xA0, 0xC9, 0x5E, 0x3D, 0x27}};
const std::string kTestClsidText = "{7C3B5AF0-4E2F-11D4-8B91-00A0C95E3D27}";
const std::string kTestProgId = "Travok.RegistryTest";
const std::string kServer = "C:\\PROGRA~1\\Travok\\Travok.exe";

using Entries = std::map<std::string, std::string>;

// The six entries of a registration, in the documented form.
Entries SixEntries() {
    const std::string clsidKey = "CLSID\\" + kTestClsidText;
    return {
        {kTestProgId, kTestProgId},
        {clsidKey, kTestProgId},
        {kTestProgId + "\\CLSID", kTestClsidText},
        {clsidKey + "\\ProgID", kTestProgId},
        {clsidKey + "\\InprocHandler32", "ole32.dll"},
        {clsidKey + "\\LocalServer32", kServer},
    };
}

// A hive in memory that takes a given number of writes and refuses the rest.
class MemoryHive final : public ClassesHive {
public:
    explicit MemoryHive(int writesTaken = INT_MAX, Entries start = {}) : values(std::move(start)), m_left(writesTaken) {}

    std::optional<std::string> Read(const std::string& key) const override {
        auto it = values.find(key);
        if (it == values.end()) return std::nullopt;
        return it->second;
    }
    bool Write(const std::string& key, const std::string& value) override {
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
    old[kTestProgId] = "Someone's name";
    old[kTestProgId + "\\CLSID"] = "{00000000-0000-0000-0000-000000000000}";
    old["CLSID\\" + kTestClsidText + "\\LocalServer32"] = "C:\\Old\\Travok.exe";
    MemoryHive machine(0);
    MemoryHive user(INT_MAX, old);
    EXPECT_EQ(RefreshServerRegistry(kTestClsid, kTestProgId, kServer, machine, user), RegisteredIn::User);
    Entries expected = SixEntries();
    expected[kTestProgId] = "Someone's name";
    EXPECT_EQ(user.values, expected);
    EXPECT_EQ(user.writes, 2) << "only the two server entries that were wrong";
}

TEST(Refresh, NoServerPathWritesNothing) {
    MemoryHive machine;
    MemoryHive user;
    EXPECT_EQ(RefreshServerRegistry(kTestClsid, kTestProgId, "", machine, user), RegisteredIn::Nowhere);
    EXPECT_TRUE(machine.values.empty());
    EXPECT_TRUE(user.values.empty());
}

// The machine's classes of the real registry, except that every write is refused, as a
// standard user meets them on Windows; Wine itself refuses none.
class RefusingMachineHive final : public ClassesHive {
public:
    std::optional<std::string> Read(const std::string& key) const override { return m_real.Read(key); }
    bool Write(const std::string&, const std::string&) override { return false; }

private:
    RegistryClassesHive m_real = RegistryClassesHive::Machine();
};

std::optional<std::string> ReadValue(HKEY root, const std::string& key) {
    char value[1024] = {};
    LONG size = sizeof value;
    if (RegQueryValueA(root, key.c_str(), value, &size) != ERROR_SUCCESS) return std::nullopt;
    return std::string(value);
}

class UserClasses : public testing::Test {
protected:
    void SetUp() override { DeleteTestKeys(); }
    void TearDown() override { DeleteTestKeys(); }

    // The six entries are in the classes under holder, and none under other.
    static void ExpectSixEntriesOnlyIn(HKEY holder, HKEY other) {
        for (const auto& [key, value] : SixEntries()) {
            SCOPED_TRACE(key);
            EXPECT_EQ(ReadValue(holder, "Software\\Classes\\" + key), value);
            EXPECT_EQ(ReadValue(other, "Software\\Classes\\" + key), std::nullopt);
        }
    }

    static void DeleteTestKeys() {
        for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE})
            for (const std::string& key : {kTestProgId, "CLSID\\" + kTestClsidText})
                RegDeleteTreeA(root, ("Software\\Classes\\" + key).c_str());
    }
};

TEST_F(UserClasses, RefusedMachineWritesLandUnderTheCurrentUsersClasses) {
    RefusingMachineHive machine;
    RegistryClassesHive user = RegistryClassesHive::User();
    EXPECT_EQ(RefreshServerRegistry(kTestClsid, kTestProgId, kServer, machine, user), RegisteredIn::User);
    ExpectSixEntriesOnlyIn(HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE);
}

TEST_F(UserClasses, AWritableMachineHiveTakesTheEntries) {
    RegistryClassesHive machine = RegistryClassesHive::Machine();
    RegistryClassesHive user = RegistryClassesHive::User();
    EXPECT_EQ(RefreshServerRegistry(kTestClsid, kTestProgId, kServer, machine, user), RegisteredIn::Machine);
    ExpectSixEntriesOnlyIn(HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER);
}

}  // namespace
