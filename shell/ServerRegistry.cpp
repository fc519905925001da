// The registry refresh of a user-started run: six keys built from templates in which %1
// is the class identifier and %2 the programmatic identifier.
#include "ServerRegistry.h"

#include <vector>

namespace {

struct RegistryEntry {
    const char* key;
    const char* value;  // "%3" is the server's path
};

// Written only when a read of the key's value fails, that is when the key is missing.
constexpr RegistryEntry kNameEntries[] = {
    {"%2", "%2"},
    {"CLSID\\%1", "%2"},
};

// Always given their value, replacing what is there.
constexpr RegistryEntry kServerEntries[] = {
    {"%2\\CLSID", "%1"},
    {"CLSID\\%1\\ProgID", "%2"},
    {"CLSID\\%1\\InprocHandler32", "ole32.dll"},
    {"CLSID\\%1\\LocalServer32", "%3"},
};

std::string Expand(const char* text, const std::string (&values)[3]) {
    std::string out;
    for (const char* p = text; *p; ++p) {
        if (p[0] == '%' && p[1] >= '1' && p[1] <= '3') {
            out += values[p[1] - '1'];
            ++p;
        } else {
            out += *p;
        }
    }
    return out;
}

std::string ClsidText(REFCLSID clsid) {
    wchar_t wide[40] = {};
    int n = StringFromGUID2(clsid, wide, 40);
    std::string text;
    for (int i = 0; i + 1 < n; ++i) text += static_cast<char>(wide[i]);  // braces, hex digits, dashes
    return text;
}

std::string ModulePath() {
    std::vector<char> full(MAX_PATH);
    DWORD n;
    while ((n = GetModuleFileNameA(nullptr, full.data(), static_cast<DWORD>(full.size()))) >= full.size() &&
           full.size() < 32768)
        full.resize(full.size() * 2);
    if (n == 0 || n >= full.size()) return {};
    return std::string(full.data(), n);
}

std::string ShortPath(const std::string& path) {
    DWORD needed = GetShortPathNameA(path.c_str(), nullptr, 0);
    if (needed == 0) return {};
    std::vector<char> shortPath(needed);
    DWORD got = GetShortPathNameA(path.c_str(), shortPath.data(), needed);
    if (got == 0 || got >= needed) return {};
    return std::string(shortPath.data(), got);
}

// Writes the six entries into one hive; false at the first write that fails.
bool WriteEntries(ClassesHive& hive, const std::string (&values)[3]) {
    for (const RegistryEntry& entry : kNameEntries) {
        const std::string key = Expand(entry.key, values);
        if (hive.Read(key)) continue;
        if (!hive.Write(key, Expand(entry.value, values))) return false;
    }
    for (const RegistryEntry& entry : kServerEntries) {
        const std::string key = Expand(entry.key, values);
        const std::string value = Expand(entry.value, values);
        // A standard user cannot write the machine's hive even where an administrator's
        // install has already written the right value: only a change needs a write.
        if (hive.Read(key) == value) continue;
        if (!hive.Write(key, value)) return false;
    }
    return true;
}

}  // namespace

std::string ServerCommandPath(const std::string& longPath, const std::string& shortPath) {
    // With short names disabled on a volume GetShortPathName hands back the long path.
    if (!shortPath.empty() && shortPath.find(' ') == std::string::npos) return shortPath;
    if (longPath.find(' ') == std::string::npos) return longPath;
    return '"' + longPath + '"';
}

RegisteredIn RefreshServerRegistry(REFCLSID clsid, const std::string& progId, const std::string& serverPath,
                                   ClassesHive& machine, ClassesHive& user) {
    const std::string values[3] = {ClsidText(clsid), progId, serverPath};
    // Without our own path the entries could only point clients at nothing: leave
    // whatever registration there is as it stands.
    if (serverPath.empty()) return RegisteredIn::Nowhere;
    if (WriteEntries(machine, values)) return RegisteredIn::Machine;
    return WriteEntries(user, values) ? RegisteredIn::User : RegisteredIn::Nowhere;
}

RegisteredIn RefreshServerRegistry(REFCLSID clsid, const std::string& progId) {
    const std::string path = ModulePath();
    if (path.empty()) return RegisteredIn::Nowhere;
    RegistryClassesHive machine = RegistryClassesHive::Machine();
    RegistryClassesHive user = RegistryClassesHive::User();
    return RefreshServerRegistry(clsid, progId, ServerCommandPath(path, ShortPath(path)), machine, user);
}
