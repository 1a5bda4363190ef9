// Making the recipient's own folder ready for the cleanup tool and the
// payload (orx/archive/folders.h says when they go there).
//
// The folder's name is fixed and lies in the user's temporary folder, which
// on some systems (a redirected TEMP, a shared profile) others can write
// to: a folder that someone else made at the name (ownership.h), or a
// junction or link standing there, must not be used. A folder this user
// made is given the private access list again each time, so that one made
// by an older run or loosened since is private once more before anything
// goes into it.
//
// Header-only and without the C runtime, for the stub; tests include it.
#pragma once

#include <windows.h>
#include <aclapi.h>

#include "orx/unique_handle.h"
#include "ownership.h"

namespace stub {

// Creates `folder` (whose parent must exist) for this user and the system
// alone, or takes the one there when it is a real folder, not a junction
// or link, owned by this user (IsTrustedOwner), and makes it private again.
// Returns the folder opened without delete sharing, so that it cannot be
// renamed or replaced while the caller holds it; an invalid handle, with
// the reason in *error, when the folder cannot be made or may not be used
// (ERROR_ACCESS_DENIED for one that is not this user's).
template <typename Ownership = SystemOwnership>
orx::FileHandle PrepareUserFolder(const wchar_t* folder, DWORD* error) {
  TokenSids sids;
  PrivateAccess access;
  if (!ReadTokenSids(&sids) ||
      !BuildPrivateAccess(sids.user.User.Sid, /*withAdministrators=*/false, &access)) {
    *error = GetLastError();
    return orx::FileHandle();
  }
  bool made = CreateDirectoryW(folder, &access.attributes) != 0;
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
  if (!plainFolder || !OwnedByTrusted<Ownership>(opened.get(), sids)) {
    *error = ERROR_ACCESS_DENIED;
    return orx::FileHandle();
  }
  if (!made) {
    DWORD set = SetSecurityInfo(opened.get(), SE_FILE_OBJECT,
                                DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                                nullptr, nullptr, &access.acl, nullptr);
    if (set != ERROR_SUCCESS) {
      *error = set;
      return orx::FileHandle();
    }
  }
  return opened;
}

}  // namespace stub
