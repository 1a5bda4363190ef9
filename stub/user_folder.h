// Making the recipient's own folder ready for the cleanup tool and the
// payload (archive_folders.h says when they go there).
//
// The folder's name is fixed and lies in the user's temporary folder, which
// on some systems (a redirected TEMP, a shared profile) others can write
// to: a folder that someone else made at the name, or a junction or link
// standing there, must not be used. A folder this user made is given the
// private access list again each time, so that one made by an older run or
// loosened since is private once more before anything goes into it.
//
// Header-only and without the C runtime, for the stub; tests include it.
#pragma once

#include <windows.h>
#include <aclapi.h>

#include "orx/unique_handle.h"

namespace stub {

namespace detail {

// The running user and the owner this token gives new objects (an
// elevated administrator's token names the Administrators group); a folder
// owned by either was made by this user.
struct TokenSids {
  union {
    TOKEN_USER user;
    unsigned char userBytes[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
  };
  union {
    TOKEN_OWNER owner;
    unsigned char ownerBytes[sizeof(TOKEN_OWNER) + SECURITY_MAX_SID_SIZE];
  };
};

inline bool ReadTokenSids(TokenSids* sids) {
  HANDLE raw = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw)) return false;
  orx::KernelHandle token(raw);
  DWORD got = 0;
  return GetTokenInformation(token.get(), TokenUser, sids->userBytes, sizeof sids->userBytes,
                             &got) &&
         GetTokenInformation(token.get(), TokenOwner, sids->ownerBytes, sizeof sids->ownerBytes,
                             &got);
}

// An access list that lets this user and the system in, and nobody else,
// inherited by every file put into the folder; protected from the
// parent's entries.
struct PrivateAcl {
  union {
    ACL acl;
    unsigned char bytes[sizeof(ACL) + 2 * (sizeof(ACCESS_ALLOWED_ACE) + SECURITY_MAX_SID_SIZE)];
  };
  union {
    SID system;
    unsigned char systemBytes[SECURITY_MAX_SID_SIZE];
  };
};

inline bool BuildPrivateAcl(PSID user, PrivateAcl* out) {
  DWORD systemSize = sizeof out->systemBytes;
  const DWORD inherit = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;
  return CreateWellKnownSid(WinLocalSystemSid, nullptr, &out->system, &systemSize) &&
         InitializeAcl(&out->acl, sizeof out->bytes, ACL_REVISION) &&
         AddAccessAllowedAceEx(&out->acl, ACL_REVISION, inherit, FILE_ALL_ACCESS, user) &&
         AddAccessAllowedAceEx(&out->acl, ACL_REVISION, inherit, FILE_ALL_ACCESS, &out->system);
}

}  // namespace detail

// Whose folder an existing one is. A template parameter of PrepareUserFolder
// so that tests can stand in for another owner where the system they run on
// cannot make one.
struct SystemOwnership {
  // True when the folder's owner is `user` or `defaultOwner`.
  static bool OwnedBy(HANDLE folder, PSID user, PSID defaultOwner) {
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetSecurityInfo(folder, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr,
                        nullptr, nullptr, &descriptor) != ERROR_SUCCESS) {
      return false;
    }
    orx::LocalMemory held(descriptor);
    return owner && (EqualSid(owner, user) || EqualSid(owner, defaultOwner));
  }
};

// Creates `folder` (whose parent must exist) for this user alone, or takes
// the one there when it is a real folder, not a junction or link, owned by
// this user, and makes it private again. Returns the folder opened without
// delete sharing, so that it cannot be renamed or replaced while the caller
// holds it; an invalid handle, with the reason in *error, when the folder
// cannot be made or may not be used (ERROR_ACCESS_DENIED for one that is
// not this user's).
template <typename Ownership = SystemOwnership>
orx::FileHandle PrepareUserFolder(const wchar_t* folder, DWORD* error) {
  detail::TokenSids sids;
  detail::PrivateAcl acl;
  SECURITY_DESCRIPTOR descriptor;
  if (!detail::ReadTokenSids(&sids) || !detail::BuildPrivateAcl(sids.user.User.Sid, &acl) ||
      !InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) ||
      !SetSecurityDescriptorDacl(&descriptor, TRUE, &acl.acl, FALSE) ||
      !SetSecurityDescriptorControl(&descriptor, SE_DACL_PROTECTED, SE_DACL_PROTECTED)) {
    *error = GetLastError();
    return orx::FileHandle();
  }
  SECURITY_ATTRIBUTES attributes = {sizeof attributes, &descriptor, FALSE};
  bool made = CreateDirectoryW(folder, &attributes) != 0;
  if (!made && GetLastError() != ERROR_ALREADY_EXISTS) {
    *error = GetLastError();
    return orx::FileHandle();
  }
  orx::FileHandle opened(CreateFileW(folder, READ_CONTROL | WRITE_DAC | FILE_LIST_DIRECTORY,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                     FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                                     nullptr));
  if (!opened) {
    *error = GetLastError();
    return opened;
  }
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(opened.get(), &info)) {
    *error = GetLastError();
    return orx::FileHandle();
  }
  bool plainFolder = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                     !(info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
  if (!plainFolder || !Ownership::OwnedBy(opened.get(), sids.user.User.Sid, sids.owner.Owner)) {
    *error = ERROR_ACCESS_DENIED;
    return orx::FileHandle();
  }
  if (!made) {
    DWORD set = SetSecurityInfo(opened.get(), SE_FILE_OBJECT,
                                DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                                nullptr, nullptr, &acl.acl, nullptr);
    if (set != ERROR_SUCCESS) {
      *error = set;
      return orx::FileHandle();
    }
  }
  return opened;
}

}  // namespace stub
