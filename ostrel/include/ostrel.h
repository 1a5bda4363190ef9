/* Ostrel: the environment library of the product's programs.
 *
 * Interface language, machine-wide settings, membership of the local
 * Administrators group, password format rules and the library's status codes.
 * Every export is a plain C function with an undecorated name and the
 * __cdecl calling convention; texts have a wide (W) and an ANSI (A) form,
 * the ANSI form converting with the system's ANSI code page.
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

/* Status codes returned (as int) by every export that can fail. */
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

/* Language */
OSTREL_API int OSTREL_CALL ZT_GetUserDefaultLang(void);
OSTREL_API wchar_t* OSTREL_CALL ZT_GetUserDefaultLangStringW(wchar_t* out);
OSTREL_API int OSTREL_CALL ZT_GetUserDefaultLangStringA(char* out);

/* Settings */
OSTREL_API int OSTREL_CALL ZT_ReadINIFileW(int index, wchar_t* buffer, int* size);
OSTREL_API int OSTREL_CALL ZT_ReadINIFileA(int index, char* buffer, int* size);
OSTREL_API int OSTREL_CALL ZT_WriteINIFileW(int index, const wchar_t* value);
OSTREL_API int OSTREL_CALL ZT_WriteINIFileA(int index, const char* value);

/* Account, password and status */
OSTREL_API int OSTREL_CALL ZT_GetLastErrorCode(void);
OSTREL_API int OSTREL_CALL ZT_IsBuildinLocalAdminGroup(int* isMember);
OSTREL_API int OSTREL_CALL ZT_ValidatePasswordA(const char* password);
OSTREL_API int OSTREL_CALL ZT_ValidatePasswordW(const wchar_t* password);

#ifdef __cplusplus
}
#endif

#endif /* OSTREL_H */
