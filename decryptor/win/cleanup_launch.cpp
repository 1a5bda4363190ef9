#include "cleanup_launch.h"

#include <windows.h>
#include <shellapi.h>

#include <aclapi.h>

#include "launch.h"
#include "orx/archive/companion_rights.h"
#include "orx/unique_handle.h"
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

// Static storage starts zeroed: none until the program sets them.
HANDLE g_instance;
HANDLE g_tool;  // the cleanup tool held, until it is started
wchar_t g_toolPath[MAX_PATH];
bool g_unelevated;  // set once the token has been read and found unelevated

}  // namespace

void ReleaseBeforeCleanup(HANDLE instance) { g_instance = instance; }

bool RunsElevated() { return !g_unelevated; }

bool HoldCleanupTool(const Launch& launch) {
  ArchiveFiles files;
  archive::TokenSids sids;
  if (!archive::ReadTokenSids(&sids)) return false;
  const bool elevated = archive::IsElevated(sids);
  g_unelevated = !elevated;
  if (g_tool || !LocateArchiveFiles(launch, &files)) return false;
  FileHandle tool(CreateFileW(files.cleanupTool, GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  FILE_BASIC_INFO info;
  PSID owner = nullptr;
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  // Its own file, not a link that the start would follow elsewhere.
  if (!tool || !GetFileInformationByHandleEx(tool.get(), FileBasicInfo, &info, sizeof info) ||
      (info.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ||
      GetSecurityInfo(tool.get(), SE_FILE_OBJECT,
                      OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner, nullptr,
                      &dacl, nullptr, &descriptor) != ERROR_SUCCESS) {
    return false;
  }
  LocalMemory held(descriptor);
  if (!archive::MayStart(owner, dacl, sids.user.User.Sid, elevated)) return false;
  CopyMemory(g_toolPath, files.cleanupTool, sizeof g_toolPath);
  g_tool = tool.release();
  return true;
}

void LaunchCleanup(const wchar_t* extraPath) {
  wchar_t own[kPathUnits];
  wchar_t parameter[kPathUnits];  // reused for both starts
  ReleaseMutex(g_instance);  // none set: fails, harmlessly
  // Only the file held: nobody can have changed, removed or renamed it
  // since it was checked, so its path still names what was checked.
  if (!g_tool) return;
  const wchar_t* tool = g_toolPath;
  // A module path of kPathUnits units or more comes back cut short: unusable.
  DWORD ownLength = GetModuleFileNameW(nullptr, own, kPathUnits);

  if (extraPath) StartTool(tool, extraPath, parameter);
  if (ownLength > 0 && ownLength < static_cast<DWORD>(kPathUnits)) StartTool(tool, own, parameter);
  // Started: held no longer. A second call starts nothing.
  CloseHandle(g_tool);
  g_tool = nullptr;
}

}  // namespace orx
