#include "windows_ports.h"

#include <cstring>

#include "ostrel.h"

namespace mirwell {
namespace {
constexpr int kInstallFolderSetting = 2;  // sSystemDir
}

bool OstrelEnvironment::InstallFolder(char* out, size_t size) {
  std::memset(out, 0, size);
  int length = static_cast<int>(size);
  return ZT_ReadINIFileA(kInstallFolderSetting, out, &length) == 0;
}

void OstrelEnvironment::LanguageTag(char* out, size_t size) {
  // Writes three bytes at most; a failed conversion leaves the buffer empty.
  std::memset(out, 0, size);
  ZT_GetUserDefaultLangStringA(out);
}

size_t ProfileFileReader::Read(const char* path, const char* section, const char* key,
                               const char* defaultValue, char* out, size_t size) {
  // Zero-filled first: when a value is cut inside a double-byte character
  // the reader may leave the byte before its terminator unwritten.
  std::memset(out, 0, size);
  GetPrivateProfileStringA(section, key, defaultValue, out, static_cast<DWORD>(size), path);
  out[size - 1] = '\0';
  return std::strlen(out);
}

}  // namespace mirwell
