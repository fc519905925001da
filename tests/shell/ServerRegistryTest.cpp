// The server's registry entries: the LocalServer32 path form, the refresh falling back
// to the user's own classes when the machine's cannot be written, and the choice of the
// machine's classes only for a program in a folder that only administrators can change.
#include <gtest/gtest.h>

#include <climits>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "shell/FolderSecurity.h"
#include "shell/ServerRegistry.h"

#include <sddl.h>  // after windows.h, which the headers above bring

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
    EXPECT_EQ(RefreshServerRegistry(kTestClsid, kTestProgId, kServer, RegistrationScope::Machine, machine, user), c.expected);
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
    EXPECT_EQ(RefreshServerRegistry(kTestClsid, kTestProgId, kServer, RegistrationScope::Machine, machine, user), RegisteredIn::User);
    Entries expected = SixEntries();
    expected[kTestProgIdWide] = L"Someone's name";
    EXPECT_EQ(user.values, expected);
    EXPECT_EQ(user.writes, 2) << "only the two server entries that were wrong";
}

TEST(Refresh, NoServerPathWritesNothing) {
    MemoryHive machine;
    MemoryHive user;
    EXPECT_EQ(RefreshServerRegistry(kTestClsid, kTestProgId, L"", RegistrationScope::Machine, machine, user), RegisteredIn::Nowhere);
    EXPECT_TRUE(machine.values.empty());
    EXPECT_TRUE(user.values.empty());
}

// The machine's classes of the real registry, except that every write is refused, as a
// standard user meets them on Windows; Wine itself refuses none.
// The current user's SID, as SDDL writes it.
std::wstring CurrentUserSid() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return {};
    alignas(TOKEN_USER) BYTE buffer[256];
    DWORD size = 0;
    std::wstring text;
    wchar_t* sid = nullptr;
    if (GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &size) &&
        ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, &sid)) {
        text = sid;
        LocalFree(sid);
    }
    CloseHandle(token);
    return text;
}

// Entries of the DACLs below, in SDDL: who is granted what, and how it is inherited.
#define TRUSTED_INSTALLER L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464"
// What an install into Program Files leaves on its folder: TrustedInstaller, SYSTEM and
// Administrators in full, Users and app packages reading and running, CREATOR OWNER in
// full on what its creator adds.
#define PROGRAM_FILES_DACL                                                                        \
    L"(A;;FA;;;" TRUSTED_INSTALLER L")(A;CIIO;GA;;;" TRUSTED_INSTALLER L")(A;;0x1301bf;;;SY)"     \
    L"(A;OICIIO;GA;;;SY)(A;;0x1301bf;;;BA)(A;OICIIO;GA;;;BA)(A;;0x1200a9;;;BU)(A;OICIIO;GXGR;;;BU)" \
    L"(A;OICIIO;GA;;;CO)(A;;0x1200a9;;;AC)(A;OICIIO;GXGR;;;AC)"
// An administrators-only folder: full control for Administrators and SYSTEM, reading for
// Users. Rows add one entry to it.
#define ADMIN_ONLY_DACL L"(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;0x1200a9;;;BU)"

struct AclCase {
    const char* what;
    std::wstring sddl;  // the folder's security descriptor: owner and DACL
    bool underWine;
    RegisteredIn expected;
    friend void PrintTo(const AclCase& c, std::ostream* os) { *os << c.what; }
};

std::vector<AclCase> AclCases() {
    const std::wstring me = CurrentUserSid();
    return {
        {"Program Files as an install leaves it", L"O:BAD:PAI" PROGRAM_FILES_DACL, false, RegisteredIn::Machine},
        {"owned by SYSTEM", L"O:SYD:P" ADMIN_ONLY_DACL, false, RegisteredIn::Machine},
        {"owned by TrustedInstaller", L"O:" TRUSTED_INSTALLER L"D:P" ADMIN_ONLY_DACL, false, RegisteredIn::Machine},
        {"Users may read, run and list", L"O:BAD:P" ADMIN_ONLY_DACL L"(A;OICI;0x1200a9;;;AU)", false,
         RegisteredIn::Machine},
        {"Users may write in subfolders only", L"O:BAD:P" ADMIN_ONLY_DACL L"(A;CIIO;GA;;;BU)", false,
         RegisteredIn::Machine},
        {"a deny entry changes nothing", L"O:BAD:P(D;OICI;FA;;;WD)" ADMIN_ONLY_DACL, false, RegisteredIn::Machine},
        // A folder made under C:\, such as C:\Tools: it inherits the root's entries.
        {"made under C:\\: Authenticated Users may modify",
         L"O:BAD:AI(A;ID;FA;;;BA)(A;OICIIOID;GA;;;BA)(A;ID;FA;;;SY)(A;OICIIOID;GA;;;SY)(A;ID;0x1200a9;;;BU)"
         L"(A;OICIIOID;GXGR;;;BU)(A;ID;0x1301bf;;;AU)(A;OICIIOID;SDGXGWGR;;;AU)",
         false, RegisteredIn::User},
        {"Everyone in full", L"O:BAD:P" ADMIN_ONLY_DACL L"(A;OICI;FA;;;WD)", false, RegisteredIn::User},
        {"Users may add files", L"O:BAD:P" ADMIN_ONLY_DACL L"(A;;0x2;;;BU)", false, RegisteredIn::User},
        {"Users may add subfolders", L"O:BAD:P" ADMIN_ONLY_DACL L"(A;;0x4;;;BU)", false, RegisteredIn::User},
        {"Users may delete what is in it", L"O:BAD:P" ADMIN_ONLY_DACL L"(A;;0x40;;;BU)", false,
         RegisteredIn::User},
        {"Users may delete it", L"O:BAD:P" ADMIN_ONLY_DACL L"(A;;SD;;;BU)", false, RegisteredIn::User},
        {"Users may change its permissions", L"O:BAD:P" ADMIN_ONLY_DACL L"(A;;WD;;;BU)", false,
         RegisteredIn::User},
        {"Users may take it over", L"O:BAD:P" ADMIN_ONLY_DACL L"(A;;WO;;;BU)", false, RegisteredIn::User},
        {"Users may write its files (inherited only)", L"O:BAD:P" ADMIN_ONLY_DACL L"(A;OIIO;GW;;;BU)", false,
         RegisteredIn::User},
        {"INTERACTIVE may modify", L"O:BAD:P" ADMIN_ONLY_DACL L"(A;OICI;0x1301bf;;;IU)", false,
         RegisteredIn::User},
        {"Authenticated Users in full", L"O:BAD:P" ADMIN_ONLY_DACL L"(A;OICI;GA;;;AU)", false, RegisteredIn::User},
        {"the current user's own SID may write", L"O:BAD:P" ADMIN_ONLY_DACL L"(A;OICI;0x1301bf;;;" + me + L")",
         false, RegisteredIn::User},
        {"owned by the current user, who may rewrite the DACL", L"O:" + me + L"D:P" ADMIN_ONLY_DACL, false,
         RegisteredIn::User},
        {"owned by Users", L"O:BUD:P" ADMIN_ONLY_DACL, false, RegisteredIn::User},
        {"no DACL at all", L"O:BA", false, RegisteredIn::User},
        {"no owner", L"D:P" ADMIN_ONLY_DACL, false, RegisteredIn::User},
        // Wine's COM reads only the machine's classes.
        {"under Wine, Everyone in full", L"O:BAD:P" ADMIN_ONLY_DACL L"(A;OICI;FA;;;WD)", true,
         RegisteredIn::Machine},
        {"under Wine, Program Files", L"O:BAD:PAI" PROGRAM_FILES_DACL, true, RegisteredIn::Machine},
    };
}

class FolderAcl : public testing::TestWithParam<AclCase> {};

TEST_P(FolderAcl, DecidesTheHive) {
    const AclCase& c = GetParam();
    PSECURITY_DESCRIPTOR sd = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(c.sddl.c_str(), SDDL_REVISION_1, &sd, nullptr))
        << GetLastError();
    const bool adminOnly = OnlyAdministratorsCanWrite(sd);
    LocalFree(sd);
    MemoryHive machine;
    MemoryHive user;
    EXPECT_EQ(RefreshServerRegistry(kTestClsid, kTestProgId, kServer, RegistrationScopeFor(adminOnly, c.underWine),
                                    machine, user),
              c.expected);
    EXPECT_EQ(machine.values, c.expected == RegisteredIn::Machine ? SixEntries() : Entries{});
    EXPECT_EQ(user.values, c.expected == RegisteredIn::User ? SixEntries() : Entries{});
}

INSTANTIATE_TEST_SUITE_P(Table, FolderAcl, testing::ValuesIn(AclCases()));

// A NULL DACL (not an empty one) lets everyone in. Built by hand: Wine's SDDL reader
// turns "D:NO_ACCESS_CONTROL" into an empty DACL, which lets no one in.
TEST(FolderAcl, ANullDaclLetsEveryoneIn) {
    SECURITY_DESCRIPTOR sd;
    BYTE administrators[SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof administrators;
    ASSERT_TRUE(InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION));
    ASSERT_TRUE(CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, administrators, &size));
    ASSERT_TRUE(SetSecurityDescriptorOwner(&sd, administrators, FALSE));
    ASSERT_TRUE(SetSecurityDescriptorDacl(&sd, TRUE, nullptr, FALSE));
    EXPECT_FALSE(OnlyAdministratorsCanWrite(&sd));
}

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
    EXPECT_EQ(RefreshServerRegistry(kTestClsid, kTestProgId, server, RegistrationScope::Machine, machine, user), RegisteredIn::User);
    ExpectSixEntriesOnlyIn(HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, server);
}

TEST_F(UserClasses, AWritableMachineHiveTakesTheEntries) {
    RegistryClassesHive machine = RegistryClassesHive::Machine();
    RegistryClassesHive user = RegistryClassesHive::User();
    EXPECT_EQ(RefreshServerRegistry(kTestClsid, kTestProgId, kServer, RegistrationScope::Machine, machine, user), RegisteredIn::Machine);
    ExpectSixEntriesOnlyIn(HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER);
}

}  // namespace
