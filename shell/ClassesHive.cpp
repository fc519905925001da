// Class registrations in the system registry, read and written through the wide
// default-value calls.
#include "ClassesHive.h"

#include <utility>

RegistryClassesHive RegistryClassesHive::Machine() { return {HKEY_CLASSES_ROOT, false}; }

RegistryClassesHive RegistryClassesHive::User() {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Classes", 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        key = nullptr;
    return {key, true};
}

RegistryClassesHive::RegistryClassesHive(RegistryClassesHive&& other) noexcept
    : m_root(std::exchange(other.m_root, nullptr)), m_owned(other.m_owned) {}

RegistryClassesHive::~RegistryClassesHive() {
    if (m_owned && m_root) RegCloseKey(m_root);
}

std::optional<std::wstring> RegistryClassesHive::Read(const std::wstring& key) const {
    if (!m_root) return std::nullopt;
    wchar_t value[256];
    LONG size = sizeof value;  // in bytes
    if (RegQueryValueW(m_root, key.c_str(), value, &size) != ERROR_SUCCESS) return std::nullopt;
    return std::wstring(value);
}

bool RegistryClassesHive::Write(const std::wstring& key, const std::wstring& value) {
    // The string's size without its ending zero; the system measures the string itself.
    const auto bytes = static_cast<DWORD>(value.size() * sizeof(wchar_t));
    return m_root && RegSetValueW(m_root, key.c_str(), REG_SZ, value.c_str(), bytes) == ERROR_SUCCESS;
}
