// The write rights of a security descriptor, judged against the few accounts that may
// hold them in a program's folder.
#include "FolderSecurity.h"

#include <aclapi.h>
#include <sddl.h>

#include <algorithm>

#include "framework/Handles.h"
#include "framework/Path.h"

namespace {

// Rights that let a grantee put another program in this one's place: write or append to
// a file (in a folder: add a file or a subfolder), delete it or any child, or change who
// may do so. Inheritable entries often grant generic rights, which map onto these.
constexpr ACCESS_MASK kWriteRights =
    FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_DELETE_CHILD | DELETE | WRITE_DAC | WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL;

// Administrators, LocalSystem and TrustedInstaller.
constexpr const wchar_t* kAdministrators[] = {
    L"S-1-5-32-544",
    L"S-1-5-18",
    L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464",
};
// CREATOR OWNER and CREATOR GROUP: placeholders that inheritance replaces by the creator.
constexpr const wchar_t* kCreators[] = {L"S-1-3-0", L"S-1-3-1"};

std::wstring SidText(PSID sid) {
    wchar_t* text = nullptr;
    if (!sid || !ConvertSidToStringSidW(sid, &text)) return {};
    const UniqueLocal<wchar_t> owned(text);
    return text;
}

template <size_t N>
bool IsIn(const wchar_t* const (&list)[N], const std::wstring& sid) {
    return std::any_of(std::begin(list), std::end(list), [&](const wchar_t* s) { return sid == s; });
}

// Whether an entry with these flags acts on the object itself or on files in it.
bool ActsOnObjectOrFiles(BYTE flags) { return !(flags & INHERIT_ONLY_ACE) || (flags & OBJECT_INHERIT_ACE); }

}  // namespace

bool OnlyAdministratorsCanWrite(PSECURITY_DESCRIPTOR sd) {
    PSID owner = nullptr;
    BOOL ownerDefaulted = FALSE;
    if (!sd || !GetSecurityDescriptorOwner(sd, &owner, &ownerDefaulted) || !IsIn(kAdministrators, SidText(owner)))
        return false;

    BOOL present = FALSE, defaulted = FALSE;
    PACL dacl = nullptr;
    if (!GetSecurityDescriptorDacl(sd, &present, &dacl, &defaulted) || !present || !dacl) return false;

    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        void* entry = nullptr;
        if (!GetAce(dacl, i, &entry)) return false;
        const auto* header = static_cast<const ACE_HEADER*>(entry);
        switch (header->AceType) {
        case ACCESS_ALLOWED_ACE_TYPE:
        case ACCESS_ALLOWED_CALLBACK_ACE_TYPE: {
            // Both keep the mask and the SID at the same places.
            auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(entry);
            if (!(allowed->Mask & kWriteRights) || !ActsOnObjectOrFiles(header->AceFlags)) continue;
            const std::wstring sid = SidText(&allowed->SidStart);
            if (!IsIn(kAdministrators, sid) && !IsIn(kCreators, sid)) return false;
            continue;
        }
        case ACCESS_ALLOWED_OBJECT_ACE_TYPE:
        case ACCESS_ALLOWED_CALLBACK_OBJECT_ACE_TYPE:
            return false;  // not seen on files; whom they grant is not worth the risk of a misreading
        default:
            continue;  // deny, audit and label entries grant nothing
        }
    }
    return true;
}

bool OnlyAdministratorsCanWrite(const std::wstring& path) {
    PSECURITY_DESCRIPTOR sd = nullptr;
    if (GetNamedSecurityInfoW(ExtendedLengthPath(path).c_str(), SE_FILE_OBJECT,
                              OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, nullptr, nullptr, nullptr,
                              nullptr, &sd) != ERROR_SUCCESS)
        return false;
    const UniqueLocal<void> owned(sd);
    return OnlyAdministratorsCanWrite(sd);
}
