// The core's ports filled by Windows: the installation folder and language
// tag from Ostrel, the locale file through the Windows profile reader, and
// the system's ANSI code page.
#pragma once

#include <windows.h>

#include "error_text.h"

namespace mirwell {

// Ostrel's settings store (installation folder) and language query.
class OstrelEnvironment final : public InstallEnvironment {
 public:
  bool InstallFolder(char* out, size_t size) override;
  void LanguageTag(char* out, size_t size) override;
};

// GetPrivateProfileStringA, which matches section and key names without
// regard to case and trims values.
class ProfileFileReader final : public ProfileReader {
 public:
  size_t Read(const char* path, const char* section, const char* key,
              const char* defaultValue, char* out, size_t size) override;
};

class SystemAnsiCodePage final : public AnsiCodePage {
 public:
  bool IsLeadByte(unsigned char byte) const override { return IsDBCSLeadByte(byte) != FALSE; }
};

}  // namespace mirwell
