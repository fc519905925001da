// Who may change a program's files, read from their security descriptors: the
// machine-wide classes start a local server for every user, an administrator's elevated
// scripts included, so only a program that no ordinary user can replace may go there.
#pragma once

#include <string>

#include "framework/Win.h"

// Whether sd lets only administrators and the system change what it guards: its owner
// is Administrators, SYSTEM or TrustedInstaller (an owner may always rewrite the DACL),
// and its DACL grants no one else a right to write, append, delete, change permissions
// or take ownership, on the object itself or on the files it passes its entries on to.
// Any other grantee counts as an ordinary user: Everyone, Authenticated Users, Users,
// INTERACTIVE, a user's own SID, any other group. CREATOR OWNER and CREATOR GROUP stand
// for whoever creates a file there, and only a grantee judged here can create one. A
// NULL or missing DACL lets everyone in. Deny entries are not counted on: an ordinary
// user who is denied one way may be granted another.
bool OnlyAdministratorsCanWrite(PSECURITY_DESCRIPTOR sd);

// The same for the file or folder at path, whose owner and DACL are read with
// GetNamedSecurityInfoW; false when they cannot be read.
bool OnlyAdministratorsCanWrite(const std::wstring& path);
