// Class registrations in the system registry, read and written through the ANSI
// default-value calls.
#include "ClassesHive.h"

#include <utility>

RegistryClassesHive RegistryClassesHive::Machine() { return {HKEY_CLASSES_ROOT, false}; }

RegistryClassesHive RegistryClassesHive::User() {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Classes", 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        key = nullptr;
    return {key, true};
}

RegistryClassesHive::RegistryClassesHive(RegistryClassesHive&& other) noexcept
    : m_root(std::exchange(other.m_root, nullptr)), m_owned(other.m_owned) {}

RegistryClassesHive::~RegistryClassesHive() {
    if (m_owned && m_root) RegCloseKey(m_root);
}

std::optional<std::string> RegistryClassesHive::Read(const std::string& key) const {
    if (!m_root) return std::nullopt;
    char value[256];
    LONG size = sizeof value;
    if (RegQueryValueA(m_root, key.c_str(), value, &size) != ERROR_SUCCESS) return std::nullopt;
    return std::string(value);
}

bool RegistryClassesHive::Write(const std::string& key, const std::string& value) {
    return m_root && RegSetValueA(m_root, key.c_str(), REG_SZ, value.c_str(), static_cast<DWORD>(value.size())) ==
                         ERROR_SUCCESS;
}
