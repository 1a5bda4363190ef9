// Every call the decryption flow makes into the system that can fail or
// answer differently from one machine to the next, in one table of typed
// entries. The program passes kSystemCalls, the real ones; a test passes a
// copy with one entry replaced, to fail that call or give another answer,
// and so reaches each ending of the flow without a window or an archive.
//
// The Windows entries have the signatures of the functions they stand for
// and behave as those do (return values, the thread's last error). Calls
// that cannot fail on a working system (the clock, the process id, the
// system folder) and those that only read a handle the flow already holds
// are made directly.
#pragma once

#include <windows.h>

#include "launch.h"
#include "orx/zone_record.h"

namespace orx {

struct SystemCalls {
  // Every file the flow opens or creates: the payload, an existing output,
  // the temporary output.
  HANDLE(WINAPI* createFile)(LPCWSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES,
                             DWORD disposition, DWORD flags, HANDLE templateFile);
  DWORD(WINAPI* getFullPathName)(LPCWSTR name, DWORD units, LPWSTR buffer, LPWSTR* filePart);
  UINT(WINAPI* getTempFileName)(LPCWSTR folder, LPCWSTR prefix, UINT unique, LPWSTR name);
  // Through the open handle: the move to the final name (FileRenameInfo)
  // and the removal of an unverified output (FileDispositionInfo).
  BOOL(WINAPI* setFileInformation)(HANDLE file, FILE_INFO_BY_HANDLE_CLASS kind, LPVOID info,
                                   DWORD size);
  BOOL(WINAPI* deleteFile)(LPCWSTR name);
  HINSTANCE(WINAPI* shellExecute)(HWND owner, LPCWSTR verb, LPCWSTR file, LPCWSTR parameters,
                                  LPCWSTR folder, INT show);
  LANGID(WINAPI* systemLangId)();
  // Where the stub left the payload and the cleanup tool (launch.h).
  bool (*locateArchiveFiles)(const Launch& launch, ArchiveFiles* files);
  // The cleanup tool's start (cleanup_launch.h).
  void (*launchCleanup)(const wchar_t* extraPath);
  // The archive's zone information onto a file, the check that a file
  // carries it, and the removal of a stream left behind (orx/zone_record.h).
  bool (*markWithArchiveZone)(const ZoneRecord& zone, const wchar_t* file);
  bool (*carriesArchiveZone)(const ZoneRecord& zone, const wchar_t* file);
  void (*removeZoneStream)(const wchar_t* file);
  // Whether this process runs elevated (orx/archive/companion_rights.h);
  // Wine shows no other token than its own, so tests stand in.
  bool (*isElevated)();
};

extern const SystemCalls kSystemCalls;

}  // namespace orx
