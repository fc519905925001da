// Each shipped program's version record and manifest, read as Windows reads them (the
// file's properties, Task Manager, installers): its own names, the project's version.
#include <gtest/gtest.h>

#include <windows.h>

#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "Driver.h"
#include "TempFiles.h"

namespace {

using travok::test::ExeDir;
using travok::test::Utf8;
using travok::test::Wide;

struct Program {
    const char* file;  // in the build's program folder
    const char* description;
    const char* internalName;
    const char* originalName;
    const char* manifestName;
};

const Program kPrograms[] = {
    {"Travok.exe", "Travok Application", "Travok", "Travok.EXE", "Travok"},
    {"travokc.exe", "Travok Console", "travokc", "travokc.exe", "travokc"},
};

// The project's version "a.b.c.d" as its four numbers.
std::vector<WORD> ProjectVersion() {
    std::vector<WORD> parts;
    std::istringstream text(TRAVOK_TEST_VERSION);
    for (std::string part; std::getline(text, part, '.');) parts.push_back(static_cast<WORD>(std::stoi(part)));
    return parts;
}

// "040904b0": how a string block names its language and code page.
std::wstring Hex4(WORD value) {
    const wchar_t* digits = L"0123456789abcdef";
    std::wstring text;
    for (int shift = 12; shift >= 0; shift -= 4) text += digits[(value >> shift) & 0xF];
    return text;
}

// A file's version record, as GetFileVersionInfoW hands it over.
class VersionRecord {
public:
    explicit VersionRecord(const std::wstring& path) {
        DWORD ignored = 0;
        const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
        if (size == 0) return;
        m_data.resize(size);
        if (!GetFileVersionInfoW(path.c_str(), 0, size, m_data.data())) m_data.clear();
    }

    bool Found() const { return !m_data.empty(); }

    const VS_FIXEDFILEINFO* Fixed() const {
        void* value = nullptr;
        UINT size = 0;
        if (!VerQueryValueW(m_data.data(), L"\\", &value, &size) || size < sizeof(VS_FIXEDFILEINFO)) return nullptr;
        return static_cast<const VS_FIXEDFILEINFO*>(value);
    }

    // The languages and code pages the record has strings for.
    std::vector<std::pair<WORD, WORD>> Translations() const {
        void* value = nullptr;
        UINT size = 0;
        std::vector<std::pair<WORD, WORD>> out;
        if (!VerQueryValueW(m_data.data(), L"\\VarFileInfo\\Translation", &value, &size)) return out;
        const WORD* words = static_cast<const WORD*>(value);
        for (UINT i = 0; i + 1 < size / sizeof(WORD); i += 2) out.emplace_back(words[i], words[i + 1]);
        return out;
    }

    // A string of the record's block for translation; nothing when it has none.
    std::optional<std::string> String(std::pair<WORD, WORD> translation, const wchar_t* name) const {
        const std::wstring query =
            L"\\StringFileInfo\\" + Hex4(translation.first) + Hex4(translation.second) + L"\\" + name;
        void* value = nullptr;
        UINT size = 0;
        if (!VerQueryValueW(m_data.data(), query.c_str(), &value, &size)) return std::nullopt;
        std::wstring text(static_cast<const wchar_t*>(value), size);
        if (const size_t end = text.find(L'\0'); end != std::wstring::npos) text.resize(end);
        return Utf8(text);
    }

private:
    std::vector<BYTE> m_data;
};

TEST(VersionRecord, NamesEachProgramItselfWithTheProjectsVersion) {
    const std::vector<WORD> version = ProjectVersion();
    ASSERT_EQ(version.size(), 4u) << TRAVOK_TEST_VERSION;
    const std::string versionText = std::to_string(version[0]) + ", " + std::to_string(version[1]) + ", " +
                                    std::to_string(version[2]) + ", " + std::to_string(version[3]);
    for (const Program& program : kPrograms) {
        SCOPED_TRACE(program.file);
        const VersionRecord record(Wide(ExeDir() + program.file));
        ASSERT_TRUE(record.Found()) << "no version record, error " << GetLastError();

        const VS_FIXEDFILEINFO* fixed = record.Fixed();
        ASSERT_NE(fixed, nullptr);
        EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
        EXPECT_EQ(fixed->dwFileVersionMS, MAKELONG(version[1], version[0]));
        EXPECT_EQ(fixed->dwFileVersionLS, MAKELONG(version[3], version[2]));
        EXPECT_EQ(fixed->dwProductVersionMS, fixed->dwFileVersionMS);
        EXPECT_EQ(fixed->dwProductVersionLS, fixed->dwFileVersionLS);
        EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));

        // US English, Unicode: the one block the record has.
        const std::vector<std::pair<WORD, WORD>> translations = record.Translations();
        ASSERT_EQ(translations.size(), 1u);
        const std::pair<WORD, WORD> block = translations[0];
        EXPECT_EQ(block, std::make_pair(WORD{0x409}, WORD{1200}));
        struct Value {
            const wchar_t* name;
            std::string expected;
        } values[] = {
            {L"FileDescription", program.description},
            {L"InternalName", program.internalName},
            {L"OriginalFilename", program.originalName},
            {L"ProductName", "Travok Application"},
            {L"FileVersion", versionText},
            {L"ProductVersion", versionText},
        };
        for (const Value& value : values)
            EXPECT_EQ(record.String(block, value.name).value_or("(none)"), value.expected) << Utf8(value.name);
    }
}

// The manifest: without a requested execution level Windows treats a 32-bit program as
// a legacy one and redirects its writes for standard users.
TEST(Manifest, NamesEachProgramItsArchitectureAndTheCallersRights) {
    for (const Program& program : kPrograms) {
        SCOPED_TRACE(program.file);
        const std::wstring path = Wide(ExeDir() + program.file);
        HMODULE module = LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(module, nullptr) << GetLastError();
        std::string manifest;
        if (HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24))) {
            HGLOBAL loaded = LoadResource(module, found);
            const void* bytes = loaded ? LockResource(loaded) : nullptr;
            if (bytes) manifest.assign(static_cast<const char*>(bytes), SizeofResource(module, found));
        }
        FreeLibrary(module);
        ASSERT_FALSE(manifest.empty()) << "no manifest";

        const std::string identity = std::string("<assemblyIdentity type=\"win32\" name=\"") + program.manifestName +
                                     "\" version=\"" + TRAVOK_TEST_VERSION + "\" processorArchitecture=\"" +
                                     TRAVOK_TEST_MANIFEST_ARCH + "\"/>";
        EXPECT_NE(manifest.find(identity), std::string::npos) << manifest;
        EXPECT_NE(manifest.find(std::string("<description>") + program.description + "</description>"),
                  std::string::npos);
        EXPECT_NE(manifest.find("<requestedExecutionLevel level=\"asInvoker\""), std::string::npos);
    }
}

}  // namespace
