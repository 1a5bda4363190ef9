// Putting one of the archive's files at its fixed path.
//
// The paths are fixed and partly in folders that other local users can
// write to, and the stub often runs as an administrator: a hard link,
// symbolic link or junction planted at one of them must never make the stub
// write into the file it points to. Files of an earlier run may also still
// be in use there: the cleanup tool runs from its program file for about
// 5.5 s, the decryptor from its own, and the decryptor reads the payload.
//
// Header-only and without the C runtime, for the stub; the removal of an
// entry and the owner of a file are template parameters so that tests can
// stand in for a refusal, for someone racing the stub or for another
// owner, which Wine cannot produce on its own.
#pragma once

#include <windows.h>

#include "orx/unique_handle.h"
#include "ownership.h"

namespace stub {

// Told of each chunk walked of a source that carries it (the payload, which
// may take long): the bytes walked so far in this walk, written or compared.
// Returning false stops the walk, which then ends as Cancelled: the
// recipient cancelled. One thread: called on the placing thread, between
// chunks.
struct Progress {
  bool (*advance)(Progress* self, ULONGLONG walked);
};

// Bytes of the archive that one output file receives: `size` bytes from
// `offset`, or everything from `offset` to the end when `size` is kToEnd.
constexpr ULONGLONG kToEnd = ~0ULL;
struct Source {
  HANDLE archive;  // opened for synchronous reading
  ULONGLONG offset;
  ULONGLONG size;
  Progress* progress = nullptr;  // none for the slots
};

constexpr unsigned long kPayloadChunk = 0xFFFF;  // 65,535 bytes per copy step

// Two buffers of at least kPayloadChunk bytes each, owned by the caller:
// `copy` carries every chunk, `compare` the file found in place.
struct Buffers {
  unsigned char* copy;
  unsigned char* compare;
};

// Who runs the stub, and the access a file it makes gets (ownership.h).
struct Rights {
  const TokenSids* sids;
  SECURITY_ATTRIBUTES* newFile;
};

// Written: the file holds the source's bytes, written by this call. Kept:
// a file in use already held exactly those bytes. ReadFailed: the archive
// could not be read. Denied: this user may not create the file there, nor
// write or remove what stands there (the folder's access list, not a
// program holding the file). Cancelled: the source's progress stopped the
// walk. Failed: anything else, a file in use that stayed so for the whole
// wait included. Whatever was not placed was not left half-written.
enum class Placed { Written, Kept, ReadFailed, Denied, Cancelled, Failed };
struct Placement {
  Placed how;
  DWORD error;  // the system's reason when the file was not placed
};

constexpr DWORD kRetryIntervalMs = 250;

struct SystemRemoval {
  static BOOL Remove(const wchar_t* path) { return DeleteFileW(path); }
};

namespace detail {

inline bool ReadAt(HANDLE file, ULONGLONG offset, unsigned char* into, DWORD size, DWORD* got) {
  OVERLAPPED at = {};
  at.Offset = static_cast<DWORD>(offset);
  at.OffsetHigh = static_cast<DWORD>(offset >> 32);
  *got = 0;
  if (ReadFile(file, into, size, got, &at)) return true;
  return GetLastError() == ERROR_HANDLE_EOF;  // at or past the end: nothing read
}

// Walks the source in chunks of at most kPayloadChunk bytes (a slot in one
// read, the payload until a read comes back short, possibly empty) and
// hands each one, in buffers.copy, to `step`, which returns false to stop;
// then tells the source's progress, which may cancel.
enum class Walk { Done, ReadFailed, Stopped, Cancelled };
template <typename Step>
Walk WalkSource(const Source& source, const Buffers& buffers, Step step) {
  ULONGLONG position = source.offset;
  ULONGLONG left = source.size;
  for (;;) {
    DWORD want = left < kPayloadChunk ? static_cast<DWORD>(left) : kPayloadChunk;
    DWORD got = 0;
    if (!ReadAt(source.archive, position, buffers.copy, want, &got)) return Walk::ReadFailed;
    if (!step(got)) return Walk::Stopped;
    position += got;
    left -= got;
    if (source.progress && !source.progress->advance(source.progress, position - source.offset)) {
      return Walk::Cancelled;
    }
    if (got != want || left == 0) return Walk::Done;
  }
}

// Writes the source into `out`; an empty last chunk is written too. A file
// that could not be completed does not stay half-written: one made by this
// call (opened with DELETE access) is removed, one written in place is
// emptied.
inline Placement Fill(HANDLE out, const Source& source, const Buffers& buffers, bool made) {
  bool written = true;
  DWORD error = ERROR_SUCCESS;
  Walk walk = WalkSource(source, buffers, [&](DWORD got) {
    DWORD put = 0;
    written = WriteFile(out, buffers.copy, got, &put, nullptr) && put == got;
    if (!written) error = put == got ? GetLastError() : ERROR_DISK_FULL;
    return written;
  });
  if (walk == Walk::Done) return {Placed::Written, ERROR_SUCCESS};
  if (walk == Walk::ReadFailed) error = GetLastError();
  if (made) {
    FILE_DISPOSITION_INFO remove = {TRUE};
    SetFileInformationByHandle(out, FileDispositionInfo, &remove, sizeof remove);
  } else {
    SetFilePointer(out, 0, nullptr, FILE_BEGIN);
    SetEndOfFile(out);
  }
  if (walk == Walk::Cancelled) return {Placed::Cancelled, ERROR_CANCELLED};
  return {walk == Walk::ReadFailed ? Placed::ReadFailed : Placed::Failed, error};
}

// A file with this one name only: no other hard link to it, no reparse
// point, no folder.
inline bool IsPlainFile(HANDLE file) {
  BY_HANDLE_FILE_INFORMATION info;
  return GetFileInformationByHandle(file, &info) && info.nNumberOfLinks == 1 &&
         !(info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY));
}

// Compares the file, from its current position, with the source: Done when
// it holds exactly the source's bytes, Stopped when it differs or cannot be
// read, as the walk ended otherwise.
inline Walk CompareWithSource(HANDLE file, const Source& source, const Buffers& buffers) {
  Walk walk = WalkSource(source, buffers, [&](DWORD got) {
    DWORD read = 0;
    if (got && (!ReadFile(file, buffers.compare, got, &read, nullptr) || read != got)) {
      return false;
    }
    for (DWORD i = 0; i < got; ++i) {
      if (buffers.compare[i] != buffers.copy[i]) return false;
    }
    return true;
  });
  DWORD extra = 0;
  if (walk == Walk::Done && (!ReadFile(file, buffers.compare, 1, &extra, nullptr) || extra)) {
    return Walk::Stopped;
  }
  return walk;
}

// What stands at a path that can be neither removed nor opened for writing:
// the source's bytes in a file of a trusted owner, the same bytes in
// someone else's file, something else, or a folder; or the comparison was
// cancelled.
enum class Existing { Same, SomeoneElses, Different, Blocking, Cancelled };
template <typename Ownership>
Existing Inspect(const wchar_t* path, const Source& source, const Buffers& buffers,
                 const TokenSids& sids) {
  // A folder (a junction included) does not go away by waiting.
  DWORD attributes = GetFileAttributesW(path);
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    return Existing::Blocking;
  }
  orx::FileHandle file(CreateFileW(path, GENERIC_READ,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!file || !IsPlainFile(file.get())) return Existing::Different;
  Walk walk = CompareWithSource(file.get(), source, buffers);
  if (walk == Walk::Cancelled) return Existing::Cancelled;
  if (walk != Walk::Done) return Existing::Different;
  // On a volume without owners the bytes and the hold (HoldPlacedFile)
  // alone decide: a running copy of the same program is kept there too.
  return !Ownership::KeepsOwners(file.get()) || OwnedByTrusted<Ownership>(file.get(), sids)
             ? Existing::Same
             : Existing::SomeoneElses;
}

// Creates the file at `path` anew with the access list of `rights`, never
// opening an existing entry nor following a reparse point, and fills it
// from the source. Denied when nothing is there and the folder still takes
// no new file from this user; otherwise, when no file was made (*made
// false), Failed with the system's reason (ERROR_FILE_EXISTS: the name is
// taken).
inline Placement MakeNew(const wchar_t* path, const Source& source, const Buffers& buffers,
                         const Rights& rights, bool* made) {
  orx::FileHandle fresh(CreateFileW(path, GENERIC_WRITE | DELETE, 0, rights.newFile, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT,
                                    nullptr));
  *made = static_cast<bool>(fresh);
  if (fresh) return Fill(fresh.get(), source, buffers, /*made=*/true);
  DWORD error = GetLastError();
  if (error == ERROR_ACCESS_DENIED && GetFileAttributesW(path) == INVALID_FILE_ATTRIBUTES &&
      GetLastError() == ERROR_FILE_NOT_FOUND) {
    return {Placed::Denied, error};
  }
  return {Placed::Failed, error};
}

}  // namespace detail

// Puts the source's bytes into a new file at `path`, which must not exist:
// a name of this run's own (a run's payload), so that nothing that stands
// there, another run's file or a planted link, is removed, opened or
// written. Written; Denied as in PlaceFile; Failed with ERROR_FILE_EXISTS
// when the name is taken (the caller picks another), or with another reason
// (ERROR_PATH_NOT_FOUND: no such folder).
inline Placement PlaceNewFile(const wchar_t* path, const Source& source, const Buffers& buffers,
                              const Rights& rights) {
  bool made = false;
  return detail::MakeNew(path, source, buffers, rights, &made);
}

// Puts the source's bytes at `path`.
//
// Whatever is at the path is removed first and the file is made anew with
// CREATE_NEW and the access list of `rights`, without following a reparse
// point: that never opens an existing entry, so a link planted at the path
// loses its name and the file it points to keeps its bytes, whenever the
// link was planted.
//
// An entry that stays (it is in use, this user may not remove it, or it was
// made again since) is written in place only when the handle opened on it,
// without following a reparse point and without sharing, shows a plain file
// with this one name whose owner is trusted (ownership.h); the checks are
// made on the handle that is written through, so a link planted before it
// cannot slip in. An entry that cannot be opened for writing is kept when
// it already holds exactly the source's bytes and its owner is trusted, or
// its volume keeps no owners (a second start of the same archive).
// Otherwise an entry of someone else's, or one that this user may not touch
// at all, is Denied at once, like a
// folder that takes no new files from this user; a link that stays, or a
// file in use with other bytes, is retried for up to `waitMs` before giving
// up. A folder at the path, or a missing folder on it, fails at once. The
// source's progress, told of every chunk written or compared, may cancel:
// the call then ends at once, Cancelled.
template <typename Removal = SystemRemoval, typename Ownership = SystemOwnership>
Placement PlaceFile(const wchar_t* path, const Source& source, const Buffers& buffers,
                    const Rights& rights, DWORD waitMs) {
  const DWORD start = GetTickCount();
  DWORD error = ERROR_SUCCESS;
  for (;;) {
    bool removed = Removal::Remove(path) != 0;
    if (removed || GetLastError() == ERROR_FILE_NOT_FOUND) {
      bool made = false;
      Placement placed = detail::MakeNew(path, source, buffers, rights, &made);
      // Filled or failed while filled, or refused by the folder.
      if (made || placed.how == Placed::Denied) return placed;
      error = placed.error;
      // A removal reported done while the name still stands for an existing
      // file did not happen (a pending delete makes CREATE_NEW fail with
      // ERROR_ACCESS_DENIED instead).
      if (error == ERROR_FILE_EXISTS) removed = false;
    }
    orx::FileHandle existing(CreateFileW(path, GENERIC_WRITE | READ_CONTROL, 0, nullptr,
                                         OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (existing) {
      if (detail::IsPlainFile(existing.get())) {
        if (!OwnedByTrusted<Ownership>(existing.get(), *rights.sids)) {
          return {Placed::Denied, ERROR_ACCESS_DENIED};
        }
        if (!SetEndOfFile(existing.get())) return {Placed::Failed, GetLastError()};
        return detail::Fill(existing.get(), source, buffers, /*made=*/false);
      }
      error = ERROR_ACCESS_DENIED;  // a link that stays: retried like a file in use
    } else {
      // In use (a running program's image, a file open without sharing, a
      // removed file that keeps its name until its last handle is closed),
      // not this user's to write, or something else: a missing folder.
      error = GetLastError();
      if (error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION) {
        return {Placed::Failed, error};
      }
      switch (detail::Inspect<Ownership>(path, source, buffers, *rights.sids)) {
        case detail::Existing::Same: return {Placed::Kept, ERROR_SUCCESS};
        case detail::Existing::SomeoneElses: return {Placed::Denied, ERROR_ACCESS_DENIED};
        case detail::Existing::Blocking: return {Placed::Failed, error};
        case detail::Existing::Cancelled: return {Placed::Cancelled, ERROR_CANCELLED};
        case detail::Existing::Different: break;
      }
      // Neither removable nor writable for lack of rights, not for being in
      // use: waiting would not change that.
      if (error == ERROR_ACCESS_DENIED && !removed) return {Placed::Denied, error};
    }
    if (GetTickCount() - start >= waitMs) return {Placed::Failed, error};
    Sleep(kRetryIntervalMs);
  }
}

// Holds the file just placed at `path` until the handle is closed: opened
// for reading with read sharing only, so that nobody can write, remove or
// rename it meanwhile (a program may still be started from it), and checked
// through that handle to be a plain file holding exactly the source's bytes.
// A file someone else holds open for writing is retried for up to `waitMs`;
// an invalid handle, with the reason in *error, when it cannot be held or
// is not what was placed.
inline orx::FileHandle HoldPlacedFile(const wchar_t* path, const Source& source,
                                      const Buffers& buffers, DWORD waitMs, DWORD* error) {
  const DWORD start = GetTickCount();
  for (;;) {
    orx::FileHandle held(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                     FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (held) {
      if (detail::IsPlainFile(held.get()) &&
          detail::CompareWithSource(held.get(), source, buffers) == detail::Walk::Done) {
        return held;
      }
      *error = ERROR_FILE_INVALID;  // changed since it was placed
      return orx::FileHandle();
    }
    *error = GetLastError();
    if (*error != ERROR_SHARING_VIOLATION || GetTickCount() - start >= waitMs) {
      return orx::FileHandle();
    }
    Sleep(kRetryIntervalMs);
  }
}

}  // namespace stub
