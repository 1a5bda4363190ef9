// The platform layer on Windows.
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#include <shellapi.h>
#include <bcrypt.h>

#include <atomic>
#include <cerrno>
#include <memory>
#include <system_error>

#include "orx/system_dlls.h"
#include "orx/unique_handle.h"
#include "orx/zone_record.h"
#include "platform.h"

namespace orx::platform {

// ---- Arguments and files ---------------------------------------------------

void DescriptorTraits::Release(int fd) { _close(fd); }

std::vector<std::string> Arguments(int, char**) {
  std::vector<std::string> args;
  int count = 0;
  LocalMemory owner;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  owner.reset(wide);
  for (int i = 1; wide && i < count; ++i) {
    int n = WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
    std::string s(n > 0 ? n - 1 : 0, '\0');
    if (n > 1) WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, s.data(), n, nullptr, nullptr);
    args.push_back(s);
  }
  return args;
}

std::FILE* OpenFile(const fs::path& path, const char* mode) {
  wchar_t wideMode[8] = {};
  for (int i = 0; mode[i] && i < 7; ++i) wideMode[i] = static_cast<wchar_t>(mode[i]);
  return _wfopen(path.c_str(), wideMode);
}

std::FILE* CreateExclusive(const fs::path& path, bool) {
  Descriptor fd(_wopen(path.c_str(), _O_CREAT | _O_EXCL | _O_WRONLY | _O_BINARY, 0600));
  if (!fd) return nullptr;
  std::FILE* file = _fdopen(fd.get(), "wb");
  if (!file) {
    int saved = errno;
    fd.reset();
    _wremove(path.c_str());
    errno = saved;
    return nullptr;
  }
  fd.release();  // the stream owns it now
  return file;
}

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
  // A handle the system tells nothing about (standard input that Wine
  // passes on from a Unix file) is read as a stream, from start to end.
  if (!FactsOfHandle(reinterpret_cast<HANDLE>(handle), facts)) facts = FileFacts{};
  return true;
}

bool FactsOfPath(const fs::path& path, FileFacts& facts) {
  FileHandle handle(CreateFileW(path.c_str(), 0,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!handle) {
    DWORD e = GetLastError();
    errno = e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND ? ENOENT : EACCES;
    return false;
  }
  return FactsOfHandle(handle.get(), facts);
}

std::size_t NameLimit(const fs::path&) { return 255; }

bool CanCreateIn(const fs::path& dir) {
  DWORD attributes = GetFileAttributesW((dir.empty() ? fs::path(L".") : dir).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    errno = ENOENT;
    return false;
  }
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    errno = ENOTDIR;
    return false;
  }
  return true;  // Windows' own answer comes with the output's creation
}

bool SyncFile(std::FILE* file) {
  intptr_t handle = _get_osfhandle(_fileno(file));
  if (handle == -1 || !FlushFileBuffers(reinterpret_cast<HANDLE>(handle))) {
    errno = EIO;
    return false;
  }
  return true;
}

// MoveFileExW with MOVEFILE_WRITE_THROUGH returns once the move is on disk.
bool SyncFolder(const fs::path&) { return true; }

bool CopyZoneInformation(const fs::path& from, const fs::path& to) {
  auto zone = std::make_unique<ZoneRecord>();
  ReadZoneRecord(from.c_str(), zone.get());
  return WriteZoneRecord(*zone, to.c_str());
}

// ---- Secrets in memory -------------------------------------------------------

void ProtectProcessMemory() {}

// ---- Interrupts --------------------------------------------------------------

namespace {

std::atomic<int> gRequested{0};

BOOL WINAPI OnConsoleEvent(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
      gRequested = kExitSignalBase + 2;
      return TRUE;
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
      gRequested = kExitSignalBase + 1;
      // Windows ends the process when this returns: give the main thread
      // time to stop writing and remove its files (it exits before this ends).
      Sleep(4000);
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace

void InstallInterruptHandlers() { SetConsoleCtrlHandler(OnConsoleEvent, TRUE); }

bool InterruptRequested() { return gRequested != 0; }
int InterruptExitCode() { return gRequested; }

// The failure paths remove the files: nothing is armed.
void RemovalOnInterrupt::Arm(const fs::path&) {}
void RemovalOnInterrupt::Disarm() {}

// The handler changes nothing on disk: nothing to hold off.
InterruptHold::InterruptHold() {}
InterruptHold::~InterruptHold() {}

// ---- Moving a finished output into place -------------------------------------

bool OutputMove::Prepare(const fs::path& target, bool replace, fs::path&, RemovalOnInterrupt&,
                         fs::path (*)(const fs::path&), std::string&, bool& exists) {
  target_ = target;
  exists = false;
  way_ = replace ? Way::kReplace : Way::kRenameNoReplace;
  return true;
}

bool OutputMove::PlaceholderStillOurs() const { return false; }

bool OutputMove::Move(const fs::path& temp, std::string& error, bool& exists) {
  DWORD flags = MOVEFILE_WRITE_THROUGH | (way_ == Way::kReplace ? MOVEFILE_REPLACE_EXISTING : 0);
  if (!MoveFileExW(temp.c_str(), target_.c_str(), flags)) {
    DWORD e = GetLastError();
    exists = e == ERROR_ALREADY_EXISTS || e == ERROR_FILE_EXISTS;
    error = exists ? target_.u8string() + " exists already"
                   : "cannot move the output into place as " + target_.u8string() + ": " +
                         std::system_category().message(static_cast<int>(e));
    return false;
  }
  return true;
}

void OutputMove::Abandon() {}

// ---- The terminal ------------------------------------------------------------------

bool IsTerminal(std::FILE* stream) { return _isatty(_fileno(stream)) != 0; }

PromptResult PromptHidden(const char* prompt, TypedLine& line, std::string& error) {
  FileHandle in(CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                            nullptr));
  DWORD mode = 0;
  if (!in || !GetConsoleMode(in.get(), &mode)) {
    error = "no console to ask for the password; use --password-file or --password-stdin";
    return PromptResult::kNoTerminal;
  }
  std::fputs(prompt, stderr);
  std::fflush(stderr);
  SetConsoleMode(in.get(),
                 (mode & ~ENABLE_ECHO_INPUT) | ENABLE_LINE_INPUT | ENABLE_PROCESSED_INPUT);
  line.wide = true;
  line.tooLong = false;
  line.units.Clear();
  Secret<wchar_t[256]> buffer;
  DWORD got = 0;
  bool ok = true;
  for (;;) {
    // Ctrl-C ends the read (the control handler records it) and falls
    // through to the restore below like any other failure.
    if (InterruptRequested() || !ReadConsoleW(in.get(), buffer.value, 256, &got, nullptr) ||
        got == 0 || InterruptRequested()) {
      ok = false;
      break;
    }
    static_assert(sizeof(wchar_t) == sizeof(char16_t), "console units are UTF-16");
    if (!line.units.Append(reinterpret_cast<const char16_t*>(buffer.value), got)) {
      ok = false;
      break;
    }
    if (line.units.back() == u'\n') break;
  }
  SetConsoleMode(in.get(), mode);
  in.reset();
  std::fputs("\n", stderr);
  while (line.units.back() == u'\n' || line.units.back() == u'\r') {
    line.units.Shorten(line.units.size() - 1);
  }
  if (!ok) {
    error = InterruptRequested() ? "interrupted" : "could not read the password from the console";
    return PromptResult::kRefused;
  }
  return PromptResult::kTyped;
}

// ---- Standard input and output, and where orx finds its parts -------------

void UseBinaryStandardStreams() {
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
}

std::FILE* ReopenStandardInput() {
  Descriptor fd(_dup(_fileno(stdin)));
  std::FILE* file = fd ? _fdopen(fd.get(), "rb") : nullptr;
  if (file) fd.release();
  return file;
}

std::FILE* CreateUnnamedTemporary() {
  wchar_t folder[MAX_PATH + 1];
  wchar_t name[MAX_PATH + 1];
  DWORD n = GetTempPathW(MAX_PATH + 1, folder);
  if (n == 0 || n > MAX_PATH || !GetTempFileNameW(folder, L"orx", 0, name)) {
    errno = EACCES;
    return nullptr;
  }
  // GetTempFileNameW made the file; it goes when its last handle closes.
  HANDLE handle = CreateFileW(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    DeleteFileW(name);
    errno = EACCES;
    return nullptr;
  }
  int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_BINARY | _O_RDWR);
  if (fd < 0) {
    CloseHandle(handle);
    return nullptr;
  }
  std::FILE* file = _fdopen(fd, "w+b");
  if (!file) _close(fd);
  return file;
}

const char kDefaultPartsWhere[] = "the folder of orx.exe";

fs::path DefaultPartsFolder() {
  std::wstring self(32768, L'\0');
  DWORD n = GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size()));
  if (n == 0 || n >= self.size()) return {};
  self.resize(n);
  return fs::path(self).parent_path();
}

// bcrypt.dll from the system folder by its full path, as the crypto
// provider takes it, so that no DLL of that name beside orx.exe is loaded.
bool Sha256(const void* data, std::size_t size, unsigned char digest[kSha256Bytes]) {
  HMODULE bcrypt = LoadSystemLibrary(L"bcrypt.dll");
  if (!bcrypt) return false;
  auto get = [bcrypt](const char* name) { return GetProcAddress(bcrypt, name); };
  auto open = reinterpret_cast<decltype(&BCryptOpenAlgorithmProvider)>(
      reinterpret_cast<void*>(get("BCryptOpenAlgorithmProvider")));
  auto create = reinterpret_cast<decltype(&BCryptCreateHash)>(
      reinterpret_cast<void*>(get("BCryptCreateHash")));
  auto feed = reinterpret_cast<decltype(&BCryptHashData)>(
      reinterpret_cast<void*>(get("BCryptHashData")));
  auto finish = reinterpret_cast<decltype(&BCryptFinishHash)>(
      reinterpret_cast<void*>(get("BCryptFinishHash")));
  auto destroy = reinterpret_cast<decltype(&BCryptDestroyHash)>(
      reinterpret_cast<void*>(get("BCryptDestroyHash")));
  auto close = reinterpret_cast<decltype(&BCryptCloseAlgorithmProvider)>(
      reinterpret_cast<void*>(get("BCryptCloseAlgorithmProvider")));
  BCRYPT_ALG_HANDLE algorithm = nullptr;
  bool ok = open && create && feed && finish && destroy && close &&
            BCRYPT_SUCCESS(open(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0));
  BCRYPT_HASH_HANDLE hash = nullptr;
  ok = ok && BCRYPT_SUCCESS(create(algorithm, &hash, nullptr, 0, nullptr, 0, 0));
  for (const auto* p = static_cast<const unsigned char*>(data); ok && size > 0;) {
    ULONG chunk = size > 0x40000000 ? 0x40000000 : static_cast<ULONG>(size);
    ok = BCRYPT_SUCCESS(feed(hash, const_cast<PUCHAR>(p), chunk, 0));
    p += chunk;
    size -= chunk;
  }
  ok = ok && BCRYPT_SUCCESS(finish(hash, digest, kSha256Bytes, 0));
  if (hash) destroy(hash);
  if (algorithm) close(algorithm, 0);
  FreeLibrary(bcrypt);
  return ok;
}

}  // namespace orx::platform
