// Where class registrations are written: the machine-wide classes or the current
// user's own, behind one small interface so that tests can make a hive refuse writes.
#pragma once

#include <optional>
#include <string>

#include "framework/Win.h"

// Keys and values are wide: a program's path may hold letters that the ANSI code page
// has not, and an ANSI value would name a file that does not exist.
class ClassesHive {
public:
    virtual ~ClassesHive() = default;
    // The default value of key (at most 255 characters), or nothing when it cannot be read.
    virtual std::optional<std::wstring> Read(const std::wstring& key) const = 0;
    // Sets the default value of key, creating the key path as needed.
    virtual bool Write(const std::wstring& key, const std::wstring& value) = 0;
};

// A hive of the system registry, reached through an open key that it owns.
class RegistryClassesHive final : public ClassesHive {
public:
    // HKEY_CLASSES_ROOT: for an administrator the machine-wide classes.
    static RegistryClassesHive Machine();
    // HKEY_CURRENT_USER\Software\Classes, which the system merges into
    // HKEY_CLASSES_ROOT for this user only, and which any user may write.
    static RegistryClassesHive User();

    RegistryClassesHive(RegistryClassesHive&& other) noexcept;
    RegistryClassesHive& operator=(RegistryClassesHive&&) = delete;
    ~RegistryClassesHive() override;

    std::optional<std::wstring> Read(const std::wstring& key) const override;
    bool Write(const std::wstring& key, const std::wstring& value) override;

private:
    RegistryClassesHive(HKEY root, bool owned) : m_root(root), m_owned(owned) {}

    HKEY m_root;  // nullptr when the user's classes key could not be opened
    bool m_owned;
};
