// Whose a file or folder is, and the access list of what the stub makes.
//
// Some of the stub's paths lie in folders that other users can write to (a
// download folder, the Windows folder's temp subfolder, a temporary folder
// that others share): what stands there may have been put there by someone
// else. The stub uses an entry it did not make only when its owner is this
// user or someone who could act as this user anyway (the Administrators
// group, the system), and everything it makes lets in only this user, the
// system and the Administrators; in an elevated run only the system and the
// Administrators (orx/archive/companion_rights.h).
//
// Header-only and without the C runtime, for the stub; tests include it.
#pragma once

#include <windows.h>
#include <aclapi.h>

#include "orx/archive/companion_rights.h"
#include "orx/unique_handle.h"

namespace stub {

using archive::ReadTokenSids;
using archive::TokenSids;

// True when `owner` is this user, this token's owner for new objects, the
// Administrators group or the system.
inline bool IsTrustedOwner(PSID owner, const TokenSids& sids) {
  if (!owner || !IsValidSid(owner)) return false;
  if (EqualSid(owner, sids.user.User.Sid) || EqualSid(owner, sids.owner.Owner)) return true;
  return IsWellKnownSid(owner, WinBuiltinAdministratorsSid) ||
         IsWellKnownSid(owner, WinLocalSystemSid);
}

// The owner of an open file or folder, into `owner` (a SID); false when the
// system does not say. The seam for tests: Wine shows no owner but the
// running user's and root's.
struct SystemOwnership {
  static bool OwnerOf(HANDLE object, unsigned char (&owner)[SECURITY_MAX_SID_SIZE]) {
    PSID sid = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetSecurityInfo(object, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &sid, nullptr,
                        nullptr, nullptr, &descriptor) != ERROR_SUCCESS) {
      return false;
    }
    orx::LocalMemory held(descriptor);
    return sid && CopySid(sizeof owner, owner, sid);
  }
  // Whether the volume holding `object` keeps owners and access lists. FAT
  // and exFAT (most sticks and cards) keep none and name Everyone as every
  // file's owner, a share without them a Unix user's SID: there the owner
  // says nothing about who made the file. A volume that does not answer
  // counts as keeping them, so that the owner check stays.
  static bool KeepsOwners(HANDLE object) {
    DWORD flags = 0;
    return !GetVolumeInformationByHandleW(object, nullptr, 0, nullptr, nullptr, &flags, nullptr,
                                          0) ||
           (flags & FILE_PERSISTENT_ACLS) != 0;
  }
};

template <typename Ownership>
bool OwnedByTrusted(HANDLE object, const TokenSids& sids) {
  unsigned char owner[SECURITY_MAX_SID_SIZE];
  return Ownership::OwnerOf(object, owner) && IsTrustedOwner(owner, sids);
}

// A protected access list (none of the parent's entries) that lets in this
// user (unless `user` is null: an elevated run), the system and, unless
// `withAdministrators` is false, the Administrators group, inherited by
// whatever is made inside a folder.
struct PrivateAccess {
  union {
    ACL acl;
    unsigned char aclBytes[sizeof(ACL) + 3 * (sizeof(ACCESS_ALLOWED_ACE) + SECURITY_MAX_SID_SIZE)];
  };
  unsigned char system[SECURITY_MAX_SID_SIZE];
  unsigned char administrators[SECURITY_MAX_SID_SIZE];
  SECURITY_DESCRIPTOR descriptor;
  SECURITY_ATTRIBUTES attributes;
};

inline bool BuildPrivateAccess(PSID user, bool withAdministrators, PrivateAccess* out) {
  DWORD systemSize = sizeof out->system, adminsSize = sizeof out->administrators;
  const DWORD inherit = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;
  bool built =
      CreateWellKnownSid(WinLocalSystemSid, nullptr, out->system, &systemSize) &&
      CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, out->administrators,
                         &adminsSize) &&
      InitializeAcl(&out->acl, sizeof out->aclBytes, ACL_REVISION) &&
      (!user || AddAccessAllowedAceEx(&out->acl, ACL_REVISION, inherit, FILE_ALL_ACCESS, user)) &&
      AddAccessAllowedAceEx(&out->acl, ACL_REVISION, inherit, FILE_ALL_ACCESS, out->system) &&
      (!withAdministrators || AddAccessAllowedAceEx(&out->acl, ACL_REVISION, inherit,
                                                    FILE_ALL_ACCESS, out->administrators)) &&
      InitializeSecurityDescriptor(&out->descriptor, SECURITY_DESCRIPTOR_REVISION) &&
      SetSecurityDescriptorDacl(&out->descriptor, TRUE, &out->acl, FALSE) &&
      SetSecurityDescriptorControl(&out->descriptor, SE_DACL_PROTECTED, SE_DACL_PROTECTED);
  out->attributes = {sizeof out->attributes, &out->descriptor, FALSE};
  return built;
}

}  // namespace stub
