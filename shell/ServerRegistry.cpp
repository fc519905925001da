// The registry refresh of a user-started run: six keys built from templates in which %1
// is the class identifier and %2 the programmatic identifier.
#include "ServerRegistry.h"

#include <vector>

#include "FolderSecurity.h"
#include "framework/Path.h"
#include "framework/Wine.h"

namespace {

struct RegistryEntry {
    const wchar_t* key;
    const wchar_t* value;  // "%3" is the server's path
};

// Written only when a read of the key's value fails, that is when the key is missing.
constexpr RegistryEntry kNameEntries[] = {
    {L"%2", L"%2"},
    {L"CLSID\\%1", L"%2"},
};

// Always given their value, replacing what is there.
constexpr RegistryEntry kServerEntries[] = {
    {L"%2\\CLSID", L"%1"},
    {L"CLSID\\%1\\ProgID", L"%2"},
    {L"CLSID\\%1\\InprocHandler32", L"ole32.dll"},
    {L"CLSID\\%1\\LocalServer32", L"%3"},
};

std::wstring Expand(const wchar_t* text, const std::wstring (&values)[3]) {
    std::wstring out;
    for (const wchar_t* p = text; *p; ++p) {
        if (p[0] == '%' && p[1] >= '1' && p[1] <= '3') {
            out += values[p[1] - '1'];
            ++p;
        } else {
            out += *p;
        }
    }
    return out;
}

std::wstring ClsidText(REFCLSID clsid) {
    wchar_t text[40] = {};
    const int n = StringFromGUID2(clsid, text, 40);
    return std::wstring(text, n > 0 ? static_cast<size_t>(n - 1) : 0);
}

// The ANSI form turns letters outside the code page into "?", which names no file.
std::wstring ShortPath(const std::wstring& path) {
    DWORD needed = GetShortPathNameW(path.c_str(), nullptr, 0);
    if (needed == 0) return {};
    std::vector<wchar_t> shortPath(needed);
    DWORD got = GetShortPathNameW(path.c_str(), shortPath.data(), needed);
    if (got == 0 || got >= needed) return {};
    return std::wstring(shortPath.data(), got);
}

// Writes the six entries into one hive; false at the first write that fails.
bool WriteEntries(ClassesHive& hive, const std::wstring (&values)[3]) {
    for (const RegistryEntry& entry : kNameEntries) {
        const std::wstring key = Expand(entry.key, values);
        if (hive.Read(key)) continue;
        if (!hive.Write(key, Expand(entry.value, values))) return false;
    }
    for (const RegistryEntry& entry : kServerEntries) {
        const std::wstring key = Expand(entry.key, values);
        const std::wstring value = Expand(entry.value, values);
        // A standard user cannot write the machine's hive even where an administrator's
        // install has already written the right value: only a change needs a write.
        if (hive.Read(key) == value) continue;
        if (!hive.Write(key, value)) return false;
    }
    return true;
}

// Whether no ordinary user can change the executable at path, nor the folder it lies in.
bool OnlyAdministratorsCanChange(const std::wstring& path) {
    const size_t end = path.find_last_of(L"\\/");
    if (end == std::wstring::npos) return false;
    // A drive's root keeps its backslash: "C:" alone names the current folder there.
    const std::wstring folder = path.substr(0, end > 0 && path[end - 1] == L':' ? end + 1 : end);
    return OnlyAdministratorsCanWrite(folder) && OnlyAdministratorsCanWrite(path);
}

}  // namespace

RegistrationScope RegistrationScopeFor(bool onlyAdministratorsCanWrite, bool underWine) {
    return onlyAdministratorsCanWrite || underWine ? RegistrationScope::Machine : RegistrationScope::User;
}

std::wstring ServerCommandPath(const std::wstring& longPath, const std::wstring& shortPath) {
    // With short names disabled on a volume GetShortPathName hands back the long path.
    if (!shortPath.empty() && shortPath.find(L' ') == std::wstring::npos) return shortPath;
    if (longPath.find(L' ') == std::wstring::npos) return longPath;
    return L'"' + longPath + L'"';
}

RegisteredIn RefreshServerRegistry(REFCLSID clsid, const std::string& progId, const std::wstring& serverPath,
                                   RegistrationScope scope, ClassesHive& machine, ClassesHive& user) {
    // The programmatic identifier is plain ASCII.
    const std::wstring values[3] = {ClsidText(clsid), std::wstring(progId.begin(), progId.end()), serverPath};
    // Without our own path the entries could only point clients at nothing: leave
    // whatever registration there is as it stands.
    if (serverPath.empty()) return RegisteredIn::Nowhere;
    if (scope == RegistrationScope::Machine && WriteEntries(machine, values)) return RegisteredIn::Machine;
    return WriteEntries(user, values) ? RegisteredIn::User : RegisteredIn::Nowhere;
}

RegisteredIn RefreshServerRegistry(REFCLSID clsid, const std::string& progId) {
    const std::wstring path = ModulePath();
    if (path.empty()) return RegisteredIn::Nowhere;
    const RegistrationScope scope = RegistrationScopeFor(OnlyAdministratorsCanChange(path), RunningUnderWine());
    RegistryClassesHive machine = RegistryClassesHive::Machine();
    RegistryClassesHive user = RegistryClassesHive::User();
    return RefreshServerRegistry(clsid, progId, ServerCommandPath(path, ShortPath(path)), scope, machine, user);
}
