// The registry refresh of a user-started run: six keys under HKEY_CLASSES_ROOT, built
// from templates in which %1 is the class identifier and %2 the programmatic identifier.
#include "ServerRegistry.h"

#include <vector>

namespace {

struct RegistryEntry {
    const char* key;
    const char* value;  // "%3" is this executable's path
};

// Written only when a read of the key's value fails, that is when the key is missing.
constexpr RegistryEntry kNameEntries[] = {
    {"%2", "%2"},
    {"CLSID\\%1", "%2"},
};

// Always written, replacing what is there.
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

// The executable in its short form, which needs no quotes in a command line; the full
// form when there is no short one. No switch follows it: COM adds its own.
std::string ServerPath() {
    std::vector<char> full(MAX_PATH);
    DWORD n;
    while ((n = GetModuleFileNameA(nullptr, full.data(), static_cast<DWORD>(full.size()))) >= full.size() &&
           full.size() < 32768)
        full.resize(full.size() * 2);
    if (n == 0 || n >= full.size()) return {};
    std::string path(full.data(), n);

    DWORD needed = GetShortPathNameA(path.c_str(), nullptr, 0);
    if (needed == 0) return path;
    std::vector<char> shortPath(needed);
    DWORD got = GetShortPathNameA(path.c_str(), shortPath.data(), needed);
    if (got == 0 || got >= needed) return path;
    return std::string(shortPath.data(), got);
}

bool HasValue(const std::string& key) {
    char value[256];
    LONG size = sizeof value;
    return RegQueryValueA(HKEY_CLASSES_ROOT, key.c_str(), value, &size) == ERROR_SUCCESS;
}

bool Write(const std::string& key, const std::string& value) {
    return RegSetValueA(HKEY_CLASSES_ROOT, key.c_str(), REG_SZ, value.c_str(), static_cast<DWORD>(value.size())) ==
           ERROR_SUCCESS;
}

}  // namespace

void RefreshServerRegistry(REFCLSID clsid, const std::string& progId) {
    const std::string values[3] = {ClsidText(clsid), progId, ServerPath()};
    // Without our own path the entries could only point clients at nothing: leave
    // whatever registration there is as it stands.
    if (values[2].empty()) return;
    for (const RegistryEntry& entry : kNameEntries) {
        const std::string key = Expand(entry.key, values);
        if (HasValue(key)) continue;
        if (!Write(key, Expand(entry.value, values))) return;
    }
    for (const RegistryEntry& entry : kServerEntries)
        if (!Write(Expand(entry.key, values), Expand(entry.value, values))) return;
}
