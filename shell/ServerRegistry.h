// The automation server's registry entries: six keys, machine-wide when they can be
// written there, else for the current user.
#pragma once

#include <string>

#include "ClassesHive.h"

// The LocalServer32 value of the executable at longPath, whose short form is shortPath
// (empty when it has none): the short path when it holds no space, else the long path,
// in double quotes when it holds one, so that no command-line reading can stop at a
// space and start another program ("C:\Program.exe").
std::wstring ServerCommandPath(const std::wstring& longPath, const std::wstring& shortPath);

enum class RegisteredIn { Nowhere, Machine, User };

// Whom a copy of the program may be registered for: every user of the machine, or only
// the user who starts it.
enum class RegistrationScope { Machine, User };

// The machine's classes start the server for every user, an administrator's elevated
// scripts included: only a program that no ordinary user can change may go there
// (FolderSecurity.h). Under Wine, whose COM reads only the machine's classes, a
// registration for the user alone would start nothing, and every copy goes there (Wine
// makes every file owned by the user, with full control for the user and SYSTEM, so the
// check never passes there).
RegistrationScope RegistrationScopeFor(bool onlyAdministratorsCanWrite, bool underWine);

// Writes the programmatic identifier and class identifier keys of the local server at
// serverPath into the machine's hive. The two name keys are written only when they hold
// no value yet; the other four whenever they do not hold their value already. The first
// write that fails ends the machine's refresh, and the same six entries are then written
// into the user's hive by the same rules. With the user's scope they go there at once,
// and the machine's hive is left alone. Nothing is ever removed.
RegisteredIn RefreshServerRegistry(REFCLSID clsid, const std::string& progId, const std::wstring& serverPath,
                                   RegistrationScope scope, ClassesHive& machine, ClassesHive& user);

// The refresh of a user-started run, for this executable, in the system registry, in
// the scope that the security of the executable and its folder allows.
RegisteredIn RefreshServerRegistry(REFCLSID clsid, const std::string& progId);
