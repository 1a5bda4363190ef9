/* Mirwell: the error message library of the product's programs.
 *
 * Turns an error's category and detail code into a localized title and
 * message from the locale file of the interface language
 * (<installation folder>\locale\Orvanta_<tag>.ini), and shows them in the
 * product's error window (MirwellUI.dll) or, when that cannot be done, in a
 * fixed English message box. Every call reads the installation folder, the
 * language and the locale file afresh; nothing is kept between calls.
 *
 * All texts are ANSI (the system's code page), NUL-terminated. A text longer
 * than its buffer is cut at the buffer's end on a whole character of the
 * code page, never inside a double-byte character: the code line at 127
 * bytes, the title at 1023, the message at 2047.
 *
 * Both exports use __cdecl and return a one-byte bool (C99 _Bool / C++
 * bool); neither lets an exception out.
 */
#ifndef MIRWELL_H
#define MIRWELL_H

#include <windows.h>

#ifndef __cplusplus
#include <stdbool.h>
#endif

#ifdef __cplusplus
extern "C" {
#endif

#if defined(MIRWELL_BUILDING_DLL)
#define MIRWELL_API /* exported by the module definition file */
#else
#define MIRWELL_API __declspec(dllimport)
#endif
#define MIRWELL_CALL __cdecl

/* Capacities the caller provides, in bytes. */
#define MIRWELL_TITLE_SIZE 1024
#define MIRWELL_MESSAGE_SIZE 2048

/* Writes the error's title into titleOut (MIRWELL_TITLE_SIZE bytes) and its
 * message, lines separated by line feeds, into messageOut
 * (MIRWELL_MESSAGE_SIZE bytes) and returns true. Returns false, with both
 * buffers untouched, when the installation folder is not available, the
 * locale file or its "err_code" is missing or empty, the explanation chosen
 * for detailCode is missing or empty, or a buffer pointer is null.
 * detailCode 0 asks for the category's own text. */
MIRWELL_API bool MIRWELL_CALL GetErrorMessage(int category, unsigned int detailCode,
                                              char* titleOut, char* messageOut);

/* Composes the same texts and shows them with a localized button label in
 * the error window of MirwellUI.dll, found by the library search order and
 * loaded for this call only; returns true once that window is closed.
 * When the texts cannot be composed, or MirwellUI cannot be loaded, lacks
 * its export or faults, shows the box "Orvanta was not properly installed!
 * Please reinstall the software." owned by `owner` (may be null) and returns
 * false once it is closed. After a fault in MirwellUI, the windows it left
 * on the calling thread are destroyed and the caller's windows it disabled
 * are enabled again; MirwellUI.dll then stays loaded for the rest of the
 * process, since code of it may still be reachable. */
MIRWELL_API bool MIRWELL_CALL ShowErrorMessage(HWND owner, int category,
                                               unsigned int detailCode);

#ifdef __cplusplus
}
#endif

#endif /* MIRWELL_H */
