// Who runs the archive's programs, and whom a program file the stub left
// (the cleanup tool) may have been changed by before the decryptor starts
// it: the rules the stub makes the files by (stub/ownership.h) and the
// decryptor checks the file it holds by (decryptor/win/cleanup_launch.h).
//
// An elevated run (an administrator's full token, or an administrator on
// a system without UAC) is the case that needs more than an owner: the
// same person's unelevated programs, the usual foothold of malware, share
// the user's SID with it. So an elevated stub gives what it makes no entry
// for the user (the Administrators and the system alone; the owner is the
// token's, the Administrators group), and an elevated decryptor starts a
// program only when nobody else may change it.
//
// Header-only and without the C runtime, for the small programs.
#pragma once

#include <windows.h>

#include "orx/unique_handle.h"

namespace archive {

// The running user and the owner this token gives new objects (an elevated
// administrator's token names the Administrators group).
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

// `sid` comes from a security descriptor the system gave: well formed when
// there is one.
inline bool IsAdministratorsOrSystem(PSID sid) {
  return sid &&
         (IsWellKnownSid(sid, WinBuiltinAdministratorsSid) || IsWellKnownSid(sid, WinLocalSystemSid));
}

// Whether the token runs elevated: its owner for new objects is the
// Administrators group (an administrator's full token), where a standard
// user's token, and an administrator's unelevated one, name the user.
inline bool IsElevated(const TokenSids& sids) {
  return IsWellKnownSid(sids.owner.Owner, WinBuiltinAdministratorsSid) != FALSE;
}

// The rights that change what a program file holds or who may change it.
constexpr DWORD kChangingRights = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_WRITE_EA |
                                  FILE_WRITE_ATTRIBUTES | DELETE | WRITE_DAC | WRITE_OWNER |
                                  GENERIC_WRITE | GENERIC_ALL;

// Whether a program file of `owner` with the access list `dacl` (null: none,
// which lets everyone in) may be started for the token of `user`, elevated
// or not (IsElevated): owned by the user, the Administrators or the system;
// elevated, owned by the Administrators or the system alone, and no entry
// that applies to the file lets anyone else change it.
inline bool MayStart(PSID owner, PACL dacl, PSID user, bool elevated) {
  if (!IsAdministratorsOrSystem(owner)) return !elevated && owner && EqualSid(owner, user);
  if (!elevated) return true;
  if (!dacl) return false;
  for (DWORD i = 0; i < dacl->AceCount; ++i) {
    ACE_HEADER* ace = nullptr;
    if (!GetAce(dacl, i, reinterpret_cast<void**>(&ace))) return false;
    if (ace->AceFlags & INHERIT_ONLY_ACE || ace->AceType == ACCESS_DENIED_ACE_TYPE) continue;
    if (ace->AceType != ACCESS_ALLOWED_ACE_TYPE) return false;  // nothing this file is made with
    ACCESS_ALLOWED_ACE* allowed = reinterpret_cast<ACCESS_ALLOWED_ACE*>(ace);
    if ((allowed->Mask & kChangingRights) && !IsAdministratorsOrSystem(&allowed->SidStart)) {
      return false;
    }
  }
  return true;
}

}  // namespace archive
