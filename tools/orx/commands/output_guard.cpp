#include "output_guard.h"

#include <cerrno>

#include "exit_codes.h"
#include "report.h"

#if defined(_WIN32)
#include <io.h>
#include <windows.h>
#else
#include <sys/stat.h>
#endif

namespace orx {

std::FILE* OpenFile(const std::filesystem::path& path, const char* mode) {
#if defined(_WIN32)
  wchar_t wideMode[8] = {};
  for (int i = 0; mode[i] && i < 7; ++i) wideMode[i] = static_cast<wchar_t>(mode[i]);
  return _wfopen(path.c_str(), wideMode);
#else
  return std::fopen(path.c_str(), mode);
#endif
}

#if defined(_WIN32)
namespace {

// The C runtime's stat has no inode on Windows; the file index has the role.
bool FactsOfHandle(HANDLE handle, FileFacts& facts) {
  BY_HANDLE_FILE_INFORMATION info;
  DWORD type = GetFileType(handle);
  if (type != FILE_TYPE_DISK) {
    facts = FileFacts{};
    return true;  // a pipe or a console: no identity, not regular
  }
  if (!GetFileInformationByHandle(handle, &info)) {
    errno = EIO;
    return false;
  }
  facts.regular = !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
  facts.size = (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
  facts.device = info.dwVolumeSerialNumber;
  facts.inode = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  return true;
}

}  // namespace

bool FactsOfFile(std::FILE* file, FileFacts& facts) {
  intptr_t handle = _get_osfhandle(_fileno(file));
  if (handle == -1) {
    errno = EBADF;
    return false;
  }
  return FactsOfHandle(reinterpret_cast<HANDLE>(handle), facts);
}

bool FactsOfPath(const std::filesystem::path& path, FileFacts& facts) {
  HANDLE handle = CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    DWORD e = GetLastError();
    errno = e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND ? ENOENT : EACCES;
    return false;
  }
  bool ok = FactsOfHandle(handle, facts);
  CloseHandle(handle);
  return ok;
}
#else
namespace {

void FromStat(const struct stat& st, FileFacts& facts) {
  facts.regular = S_ISREG(st.st_mode);
  facts.size = static_cast<std::uint64_t>(st.st_size);
  facts.device = static_cast<std::uint64_t>(st.st_dev);
  facts.inode = static_cast<std::uint64_t>(st.st_ino);
}

}  // namespace

bool FactsOfFile(std::FILE* file, FileFacts& facts) {
  struct stat st;
  if (::fstat(fileno(file), &st) != 0) return false;
  FromStat(st, facts);
  return true;
}

bool FactsOfPath(const std::filesystem::path& path, FileFacts& facts) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return false;
  FromStat(st, facts);
  return true;
}
#endif

bool OutputIsInput(const std::filesystem::path& output,
                   const std::vector<std::filesystem::path>& inputs,
                   std::filesystem::path& which) {
  FileFacts out;
  if (!FactsOfPath(output, out) || (out.device == 0 && out.inode == 0)) return false;
  for (const auto& input : inputs) {
    FileFacts in;
    if (FactsOfPath(input, in) && SameFile(in, out)) {
      which = input;
      return true;
    }
  }
  return false;
}

int GuardOutput(const char* command, const std::filesystem::path& output,
                const std::vector<std::filesystem::path>& inputs, bool force) {
  std::filesystem::path same;
  if (OutputIsInput(output, inputs, same)) {
    Report(std::string(command) + ": the output " + output.u8string() + " is the input " +
           same.u8string() + "; nothing written");
    return kExitFailure;
  }
  std::error_code ec;
  if (!force && std::filesystem::exists(std::filesystem::symlink_status(output, ec))) {
    Report(std::string(command) + ": " + output.u8string() + " exists already; --force replaces it");
    return kExitExists;
  }
  return kExitOk;
}

}  // namespace orx
