// Choosing the locale file's keys for an error and composing its localized
// title and message. Plain C++ over three small ports, so that the rules are
// tested natively; the library fills the ports with the settings store, the
// language query, the Windows profile reader and the ANSI code page.
#pragma once

#include <cstddef>
#include <cstdint>

#include "ansi_text.h"

namespace mirwell {

// Buffer sizes in bytes, the terminating NUL included.
constexpr size_t kFolderSize = 1024;     // installation folder
constexpr size_t kTagSize = 128;         // language tag (two letters in practice)
constexpr size_t kPathSize = 1024;       // locale file path
constexpr size_t kValueSize = 1024;      // each value read from "ERROR"
constexpr size_t kCodeLineSize = 128;    // "err_code" text, numbers, line feed
constexpr size_t kTitleSize = 1024;
constexpr size_t kMessageSize = 2048;
constexpr size_t kLabelSize = 128;       // button label from "COMMON"
constexpr size_t kCategoryKeySize = 16;  // "err_-2147483648" and its NUL

// Title used whenever the locale file gives none.
constexpr const char kFallbackTitle[] = "tavrel Orvanta System Error";
// Default handed to the reader for "err_title_info" (a missing key).
constexpr const char kInfoTitleDefault[] = "System Information";

// Where the installation folder and the language tag come from.
class InstallEnvironment {
 public:
  virtual ~InstallEnvironment() = default;
  // Writes the installation folder, NUL-terminated, into `out` (`size`
  // bytes) and returns true; false when it is not available, and `out` is
  // then not meaningful.
  virtual bool InstallFolder(char* out, size_t size) = 0;
  // Writes the ANSI language tag, NUL-terminated (two letters, or empty
  // when it cannot be had), into `out` (`size` bytes).
  virtual void LanguageTag(char* out, size_t size) = 0;
};

// Reads one value of a profile (INI) file.
class ProfileReader {
 public:
  virtual ~ProfileReader() = default;
  // Writes the value of `key` in `section` of the file `path` into `out`
  // (`size` bytes, at least 1), NUL-terminated, or `defaultValue` when the
  // key or the file is missing; section and key match without regard to
  // case. Returns the length of the text written. A value longer than
  // `size` - 1 bytes is cut, possibly inside a double-byte character.
  virtual size_t Read(const char* path, const char* section, const char* key,
                      const char* defaultValue, char* out, size_t size) = 0;
};

// "err_%04d": signed decimal, zero-padded to at least four characters
// ("err_0002", "err_12345", "err_-005"). `out` holds kCategoryKeySize bytes.
void FormatCategoryKey(int32_t category, char* out);

// The explanation key for a detail code, compared as unsigned.
const char* RangeKeyFor(uint32_t detailCode);

// Why a composition failed; nothing of it reaches the caller's buffers.
enum class ComposeStatus {
  kOk,
  kNoInstallFolder,   // the settings store has no installation folder
  kPathTooLong,       // folder + "\locale\Orvanta_XX.ini" exceeds kPathSize
  kNoCodeText,        // locale file missing, or its "err_code" missing or empty
  kNoExplanation,     // the range key chosen for the detail code is missing or empty
};

struct ErrorText {
  bool isInfo = false;  // information style (else error style)
  char localeFile[kPathSize] = {};
  char title[kTitleSize] = {};
  char message[kMessageSize] = {};
};

// Composes the title and message of an error from the locale file of the
// current language. The message is cut on a whole character at
// kMessageSize - 1 bytes, the code line at kCodeLineSize - 1.
ComposeStatus ComposeErrorText(int32_t category, uint32_t detailCode,
                               InstallEnvironment& environment, ProfileReader& reader,
                               const AnsiCodePage& codePage, ErrorText* out);

// The button label for the error window: "lbNext" for category 2, "lbOK"
// otherwise, from "COMMON" of `localeFile`, "OK" when missing; a present but
// empty value gives an empty label. `out` holds kLabelSize bytes.
void ReadButtonLabel(int32_t category, const char* localeFile, ProfileReader& reader,
                     const AnsiCodePage& codePage, char* out);

}  // namespace mirwell
