/* Ostrel: the environment library of the product's programs.
 *
 * Interface language, machine-wide settings, membership of the local
 * Administrators group, password format rules and the library's status codes.
 * Every export is a plain C function with an undecorated name and the
 * __cdecl calling convention; texts have a wide (W) and an ANSI (A) form,
 * the ANSI form converting with the system's ANSI code page (CP_ACP).
 *
 * Failures are returned as ZT_Status values (int); no export throws or shows
 * anything. Where a Windows call reported its failure through the thread's
 * last error (the ANSI conversions of the settings exports, the version
 * calls of the messenger refresh, the membership test), that number is kept
 * as the library's last system error for ZT_GetLastErrorCode. Errors that
 * registry calls return are mapped without being kept.
 *
 * The caller owns every buffer it passes in.
 */
#ifndef OSTREL_H
#define OSTREL_H

#include <wchar.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(OSTREL_BUILDING_DLL)
#define OSTREL_API __declspec(dllexport)
#elif defined(_WIN32)
#define OSTREL_API __declspec(dllimport)
#else
#define OSTREL_API
#endif

#if defined(_WIN32)
#define OSTREL_CALL __cdecl
#else
#define OSTREL_CALL
#endif

/* Status codes returned (as int) by every export that can fail. A Windows
 * error becomes a status by one map: ERROR_FILE_NOT_FOUND (2) and
 * ERROR_PATH_NOT_FOUND (3) give ZT_ERR_NOT_FOUND, ERROR_ACCESS_DENIED (5) and
 * ERROR_INVALID_ACCESS (12) ZT_ERR_ACCESS_DENIED, ERROR_NOT_ENOUGH_MEMORY (8)
 * ZT_ERR_MEMORY, every other number ZT_ERR_SYSTEM. */
typedef enum ZT_Status {
  ZT_OK = 0,
  ZT_ERR_SYSTEM = 3001,
  ZT_ERR_MEMORY = 3002,
  ZT_ERR_NOT_FOUND = 3004,
  ZT_ERR_BAD_INDEX = 3007,
  ZT_ERR_ACCESS_DENIED = 3009,
  ZT_ERR_BAD_VALUE = 3010,
  ZT_ERR_PASSWORD_TOO_SHORT = 3101,
  ZT_ERR_PASSWORD_TOO_LONG = 3102,
  ZT_ERR_PASSWORD_NOT_ASCII = 3103,
  ZT_ERR_PASSWORD_BAD_CHAR = 3104
} ZT_Status;

/* Language
 *
 * The product's interface language, taken from the system default language
 * id (GetSystemDefaultLangID, not the user's) on every call; nothing is
 * cached. Codes and tags: 0 "EN" (every id not listed below), 1 "IT",
 * 2 "TC" (Taiwan, Singapore), 3 "SC" (PRC, Hong Kong, Macao), 4 "FR",
 * 5 "DE", 6 "ES", 7 "DU", 8 "PT", 9 "SV", 10 "JP". The code and the tag of
 * one system language always belong together. Safe from any thread. */

/* Returns the language code, 0 to 10. Cannot fail. */
OSTREL_API int OSTREL_CALL ZT_GetUserDefaultLang(void);

/* Copies the tag and its null, three wide characters, into `out` (room for
 * at least three) and returns `out`. A null `out` returns null. */
OSTREL_API wchar_t* OSTREL_CALL ZT_GetUserDefaultLangStringW(wchar_t* out);

/* Writes the tag in the ANSI code page, exactly three bytes with the null,
 * into `out` (room for at least three) and returns 3; returns 0 when the
 * conversion fails (the last system error is left alone) or `out` is null. */
OSTREL_API int OSTREL_CALL ZT_GetUserDefaultLangStringA(char* out);

/* Settings
 *
 * The product's machine-wide settings: text values (REG_SZ) of the key
 * HKEY_LOCAL_MACHINE\SOFTWARE\Tavrel\Orvanta, which the product's
 * installation creates; the library opens it and never creates it, so a
 * missing key gives ZT_ERR_NOT_FOUND from every read and write. No file is
 * involved in spite of the names.
 *
 * The key is opened without KEY_WOW64_* flags: a 32-bit caller on 64-bit
 * Windows is redirected to HKLM\SOFTWARE\WOW6432Node\Tavrel\Orvanta
 * (the 32-bit view), a 64-bit caller uses the 64-bit view. The same holds
 * for the messenger's key below.
 *
 *   index  value name                 rule on write and read  missing or failing on read
 *   0      iEncryptionStrength        0 to 2                  store "1", read again
 *   1      bEnableFlag                0 or 1                  store "1", read again
 *   2      sSystemDir                 any text                ZT_ERR_NOT_FOUND
 *   3      sTempDir                   any text                ZT_ERR_NOT_FOUND
 *   4      bFirstSetup                0 or 1                  store "1", read again
 *   5      bMsnEnableFlag             0 or 1                  ZT_ERR_NOT_FOUND
 *   6      bScanFilesCompleteFlag     0 or 1                  ZT_ERR_NOT_FOUND
 *   7      sEncryptionFolderBanner    any text                ZT_ERR_NOT_FOUND
 *   8      sProductVersion            any text                ZT_ERR_NOT_FOUND
 *   10     iProgressPaceCoefficient   1 to 100                store "3", read again
 *   11     bLoginAlertDisplayFlag     0 or 1                  store "1", read again
 *   12     sMSNVersion                not empty               refreshed, read again
 *
 * Flags and integers are decimal text, judged by their leading number as
 * wcstol reads it: white space skipped, an optional sign, digits up to the
 * first other character; a text without digits counts as 0 (so "" and "1x"
 * pass as 0 and 1). Storing a default needs write access to the key; without
 * it the read fails with the write's status (ZT_ERR_ACCESS_DENIED).
 *
 * sMSNVersion is refreshed before every read of index 12: the messenger's
 * folder is read from HKLM\SOFTWARE\Microsoft\MSNMessenger value
 * "InstallationDirectory" (with its trailing backslash, at most 129
 * characters: a longer one gives ZT_ERR_SYSTEM), and the ProductVersion of
 * its msnmsgr.exe, in the translation that best matches the user's default
 * language, is stored. Without the messenger the read returns
 * ZT_ERR_NOT_FOUND; without write access ZT_ERR_ACCESS_DENIED. Failures of
 * the version calls are captured; a version block that cannot be allocated
 * gives 5. Each refresh works on buffers of its own, so reads of index 12
 * may run on several threads at once; the last store wins.
 *
 * A null `buffer`, `size` or `value` returns ZT_ERR_SYSTEM and touches
 * nothing. A negative *size counts as a capacity of 0. */

/* Reads a setting as wide text. *size is the capacity of `buffer` in bytes.
 *   ZT_OK: `buffer` holds the text with its null, *size the stored size in
 *     bytes as the registry reports it.
 *   ZT_ERR_MEMORY: *size is the size in bytes the value needs; a stored text
 *     without its own null that fills the buffer needs 2 bytes more.
 *   ZT_ERR_BAD_INDEX: the index names no setting.
 *   other failures: *size is the caller's capacity. */
OSTREL_API int OSTREL_CALL ZT_ReadINIFileW(int index, wchar_t* buffer, int* size);

/* Reads a setting in the ANSI code page. *size is the capacity of `buffer`
 * in bytes.
 *   ZT_OK: `buffer` holds the text with its null, *size the bytes written,
 *     the null included.
 *   ZT_ERR_MEMORY: *size is the size in bytes the value needs, to be passed
 *     as the next call's capacity: the text in the ANSI code page with its
 *     null (in a double-byte code page up to two bytes a character). The
 *     value is read a second time to count them. ZT_ERR_MEMORY with *size
 *     unchanged: no memory for the temporary copies.
 *   a failed conversion (too small a buffer, a character without a mapping):
 *     captured, ZT_ERR_SYSTEM, *size 0.
 *   other failures: *size unchanged. */
OSTREL_API int OSTREL_CALL ZT_ReadINIFileA(int index, char* buffer, int* size);

/* Stores `value` (null-terminated) as the setting's value. ZT_ERR_BAD_VALUE
 * when the index names no setting or the value fails its rule (nothing is
 * stored); otherwise the registry's status. */
OSTREL_API int OSTREL_CALL ZT_WriteINIFileW(int index, const wchar_t* value);

/* Converts `value` from the ANSI code page (invalid characters rejected, at
 * most 255 characters) and stores it as ZT_WriteINIFileW does. A failed
 * conversion is captured and gives ZT_ERR_SYSTEM. */
OSTREL_API int OSTREL_CALL ZT_WriteINIFileA(int index, const char* value);

/* Account, password and status */

/* Returns the last system error: one value for the whole process, 0 when the
 * library is loaded and again whenever any thread starts, then the latest
 * capture on any thread. Reading it does not clear it. */
OSTREL_API int OSTREL_CALL ZT_GetLastErrorCode(void);

/* Tells whether the caller (its impersonation token, else the process token)
 * is a member of the built-in Administrators group, S-1-5-32-544. ZT_OK with
 * *isMember 1 or 0; when the group's identifier cannot be built or the test
 * fails, *isMember is 0 and the captured error's status is returned. A null
 * `isMember` returns ZT_ERR_SYSTEM. */
OSTREL_API int OSTREL_CALL ZT_IsBuildinLocalAdminGroup(int* isMember);

/* Password format: 4 to 12 characters of the letters A-Z and a-z, the digits
 * and the marks , - . / ; = [ \ ]. Length is checked first
 * (ZT_ERR_PASSWORD_TOO_SHORT, ZT_ERR_PASSWORD_TOO_LONG); then the first
 * offending byte decides: 0x80 or above ZT_ERR_PASSWORD_NOT_ASCII, else a
 * character outside the alphabet ZT_ERR_PASSWORD_BAD_CHAR. Returns ZT_OK or
 * one of those four. A null password counts as the empty text. */
OSTREL_API int OSTREL_CALL ZT_ValidatePasswordA(const char* password);

/* As ZT_ValidatePasswordA, the length counted in wide characters and the
 * characters judged as the ANSI code page renders them: an accented letter
 * (code page 1252) or a double-byte character gives
 * ZT_ERR_PASSWORD_NOT_ASCII, a character without a mapping becomes the
 * default character '?' and gives ZT_ERR_PASSWORD_BAD_CHAR. */
OSTREL_API int OSTREL_CALL ZT_ValidatePasswordW(const wchar_t* password);

#ifdef __cplusplus
}
#endif

#endif /* OSTREL_H */
