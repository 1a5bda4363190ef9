#include "cleanup_launch.h"

#include <windows.h>
#include <shellapi.h>

#include "launch.h"
#include "orx/wide_text.h"

namespace orx {
namespace {

constexpr int kPathUnits = 260;  // every buffer here, terminator included

// Writes "\"path\"" into out; false, with nothing started, when it does not
// fit in kPathUnits units.
bool Quote(const wchar_t* path, wchar_t (&out)[kPathUnits]) {
  size_t n = WideLength(path);
  if (n > kPathUnits - 3u) return false;
  out[0] = L'"';
  CopyMemory(out + 1, path, n * sizeof(wchar_t));
  out[n + 1] = L'"';
  out[n + 2] = 0;
  return true;
}

void StartTool(const wchar_t* tool, const wchar_t* path, wchar_t (&parameter)[kPathUnits]) {
  if (Quote(path, parameter)) ShellExecuteW(nullptr, L"open", tool, parameter, nullptr, SW_HIDE);
}

// Static storage starts zeroed: none until the program sets it.
HANDLE g_instance;

}  // namespace

void ReleaseBeforeCleanup(HANDLE instance) { g_instance = instance; }

void LaunchCleanup(const wchar_t* extraPath, const Launch& launch) {
  ArchiveFiles files;
  wchar_t own[kPathUnits];
  wchar_t parameter[kPathUnits];  // reused for both starts
  if (g_instance) ReleaseMutex(g_instance);
  // A folder that leaves no room for the tool's name cannot name it.
  if (!LocateArchiveFiles(launch, &files)) return;
  const wchar_t* tool = files.cleanupTool;
  // A module path of kPathUnits units or more comes back cut short: unusable.
  DWORD ownLength = GetModuleFileNameW(nullptr, own, kPathUnits);

  if (extraPath) StartTool(tool, extraPath, parameter);
  if (ownLength > 0 && ownLength < static_cast<DWORD>(kPathUnits)) StartTool(tool, own, parameter);
}

}  // namespace orx
