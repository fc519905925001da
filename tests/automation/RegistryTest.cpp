// The server's registry entries after real starts of Travok.exe, read back from
// HKEY_CLASSES_ROOT of the test prefix.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "ComClient.h"
#include "Driver.h"

using namespace travok::test;

namespace {

const std::string kProgIdKey = kTravokProgId;
const std::string kClsidKey = std::string("CLSID\\") + ClsidText();

struct Entry {
    std::string key;
    std::string value;
};

std::vector<Entry> RegisteredEntries() {
    return {
        {kProgIdKey, "Travok.Application"},
        {kClsidKey, "Travok.Application"},
        {kProgIdKey + "\\CLSID", ClsidText()},
        {kClsidKey + "\\ProgID", "Travok.Application"},
        {kClsidKey + "\\InprocHandler32", "ole32.dll"},
        {kClsidKey + "\\LocalServer32", ExpectedServerPath()},
    };
}

testing::AssertionResult HasValue(const std::string& key, const std::string& expected) {
    RegValue got = ReadClassesValue(key);
    if (!got.exists) return testing::AssertionFailure() << "HKCR\\" << key << " is missing";
    if (got.value != expected)
        return testing::AssertionFailure() << "HKCR\\" << key << " holds \"" << got.value << "\", not \"" << expected
                                           << "\"";
    return testing::AssertionSuccess();
}

testing::AssertionResult IsAbsent(const std::string& key) {
    HKEY handle = nullptr;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS)
        return testing::AssertionSuccess();
    RegCloseKey(handle);
    return testing::AssertionFailure() << "HKCR\\" << key << " exists";
}

// The subkeys and value names of a key, sorted; "(default)" for the unnamed value.
std::vector<std::string> Contents(const std::string& key) {
    std::vector<std::string> names;
    HKEY handle = nullptr;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) return names;
    char name[256];
    for (DWORD i = 0;; ++i) {
        DWORD size = sizeof name;
        if (RegEnumKeyExA(handle, i, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        names.push_back(std::string(name) + "\\");
    }
    for (DWORD i = 0;; ++i) {
        DWORD size = sizeof name;
        if (RegEnumValueA(handle, i, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        names.push_back(size ? std::string(name) : "(default)");
    }
    RegCloseKey(handle);
    std::sort(names.begin(), names.end());
    return names;
}

void SetValue(const std::string& key, const std::string& value) {
    ASSERT_EQ(RegSetValueA(HKEY_CLASSES_ROOT, key.c_str(), REG_SZ, value.c_str(), static_cast<DWORD>(value.size())),
              ERROR_SUCCESS);
}

class Registry : public testing::Test {
protected:
    void SetUp() override { DeleteServerKeys(); }
    // The other automation tests need the server registered.
    void TearDown() override {
        DeleteServerKeys();
        EnsureRegistered();
    }
    static void UserStart() { TravokProcess user; }
};

TEST_F(Registry, AUserStartWritesTheSixEntries) {
    UserStart();
    for (const Entry& entry : RegisteredEntries()) EXPECT_TRUE(HasValue(entry.key, entry.value));
    // The server path is this executable, with no switch behind it.
    char longPath[MAX_PATH * 2] = {};
    GetLongPathNameA(ReadClassesValue(kClsidKey + "\\LocalServer32").value.c_str(), longPath, sizeof longPath);
    EXPECT_EQ(_stricmp(longPath, TravokExePath().c_str()), 0) << longPath;
}

TEST_F(Registry, RepeatedStartsLeaveOneSetOfEntries) {
    UserStart();
    UserStart();
    for (const Entry& entry : RegisteredEntries()) EXPECT_TRUE(HasValue(entry.key, entry.value));
    EXPECT_EQ(Contents(kProgIdKey), (std::vector<std::string>{"(default)", "CLSID\\"}));
    EXPECT_EQ(Contents(kProgIdKey + "\\CLSID"), std::vector<std::string>{"(default)"});
    EXPECT_EQ(Contents(kClsidKey),
              (std::vector<std::string>{"(default)", "InprocHandler32\\", "LocalServer32\\", "ProgID\\"}));
    for (const char* sub : {"\\InprocHandler32", "\\LocalServer32", "\\ProgID"})
        EXPECT_EQ(Contents(kClsidKey + sub), std::vector<std::string>{"(default)"}) << sub;
}

TEST_F(Registry, NameKeysKeepTheirValuesWhileServerKeysAreRewritten) {
    SetValue(kProgIdKey, "A name of someone else's");
    SetValue(kClsidKey, "Another name");
    SetValue(kProgIdKey + "\\CLSID", "{00000000-0000-0000-0000-000000000000}");
    SetValue(kClsidKey + "\\ProgID", "Other.Application");
    SetValue(kClsidKey + "\\InprocHandler32", "other.dll");
    SetValue(kClsidKey + "\\LocalServer32", "C:\\old\\Travok.exe /Automation");
    UserStart();
    std::vector<Entry> expected = RegisteredEntries();
    expected[0].value = "A name of someone else's";
    expected[1].value = "Another name";
    for (const Entry& entry : expected) EXPECT_TRUE(HasValue(entry.key, entry.value));
}

// Where 64-bit Windows keeps two registry views, the class key is written to the view of
// the program's own width (the 32-bit one is WOW6432Node), which is where COM looks first
// for a client of that width. A 32-bit Windows has one view, which both flags open.
// (Windows shares the ProgID key between the views; Wine 8 does not, so that is left to
// Windows.)
TEST_F(Registry, TheClassKeyLivesInTheViewOfTheProgramsWidth) {
    UserStart();
    BOOL wow64 = FALSE;
    ASSERT_TRUE(IsWow64Process(GetCurrentProcess(), &wow64));
    const bool build64 = sizeof(void*) == 8;
    const bool twoViews = build64 || wow64;
    SCOPED_TRACE(build64 ? "64-bit build" : wow64 ? "32-bit build on 64-bit Windows" : "32-bit build on 32-bit Windows");
    const auto inView = [](REGSAM view, const std::string& key) {
        HKEY handle = nullptr;
        const std::string path = "Software\\Classes\\" + key;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ | view, &handle) != ERROR_SUCCESS) return false;
        RegCloseKey(handle);
        return true;
    };
    const REGSAM own = build64 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY;
    const REGSAM other = build64 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;
    EXPECT_TRUE(inView(own, kClsidKey + "\\LocalServer32"));
    EXPECT_EQ(inView(other, kClsidKey), !twoViews) << "the class key in the other view";
    EXPECT_TRUE(inView(own, kProgIdKey + "\\CLSID"));
}

TEST_F(Registry, AClientStartedRunWritesNothing) {
    for (const char* switchText : {"-Embedding", "/Automation"}) {
        SCOPED_TRACE(switchText);
        { TravokProcess client(switchText); }
        for (const Entry& entry : RegisteredEntries()) EXPECT_TRUE(IsAbsent(entry.key));
    }
}

TEST_F(Registry, TheFirstFailedWriteEndsTheMachineWideRefreshAndTheUserGetsTheEntries) {
    // No key that is not volatile can be made under a volatile one, so the write of
    // CLSID\{...}\ProgID fails; the class key itself already exists.
    HKEY volatileKey = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, kClsidKey.c_str(), 0, nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS,
                              nullptr, &volatileKey, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(volatileKey);
    {
        TravokProcess user;
        EXPECT_TRUE(user.Sheet()) << "the failure must not stop the program";
    }
    EXPECT_TRUE(HasValue(kProgIdKey, "Travok.Application"));
    EXPECT_TRUE(HasValue(kProgIdKey + "\\CLSID", ClsidText()));
    for (const char* sub : {"\\ProgID", "\\InprocHandler32", "\\LocalServer32"})
        EXPECT_TRUE(IsAbsent(kClsidKey + sub));
    // The same six entries, written again for this user alone.
    for (const Entry& entry : RegisteredEntries()) {
        char value[1024] = {};
        LONG size = sizeof value;
        const std::string key = "Software\\Classes\\" + entry.key;
        EXPECT_EQ(RegQueryValueA(HKEY_CURRENT_USER, key.c_str(), value, &size), ERROR_SUCCESS) << key;
        EXPECT_EQ(std::string(value), entry.value) << key;
    }
}

}  // namespace
