/* MirwellUI: the product's error window.
 *
 * One export, "_ShowErrorMsg" (leading underscore, the same name in the
 * 32-bit and the 64-bit build), called by Mirwell for one error at a time.
 */
#ifndef MIRWELLUI_H
#define MIRWELLUI_H

#ifndef __cplusplus
#include <stdbool.h>
#endif

/* Control ids of the error window (a dialog, class "#32770"), for programs
 * that drive it; its caption is the title. The icon and the message carry
 * the ids of a Windows message box's icon and text, so that a tool that
 * reads message boxes reads this window alike. */
#define MIRWELLUI_ID_ICON 0x440
#define MIRWELLUI_ID_MESSAGE 0xFFFF
#define MIRWELLUI_ID_BUTTON 1 /* IDOK */

/* _ShowErrorMsg(bool isInfo, const char* title, const char* buttonLabel,
 *               const char* message), __cdecl
 *
 * Shows a modal window owned by the calling thread's active window (none
 * when there is no active window): `title` as its caption, an information
 * icon when isInfo is true and an error icon otherwise, `message` with its
 * line feeds as line breaks, and one button labelled `buttonLabel`. Texts
 * are ANSI, NUL-terminated; a null text shows as empty. Returns once the
 * window is closed, by the button, Enter, Esc or its close box: 1 (IDOK)
 * for the button and Enter, 2 (IDCANCEL) for Esc and the close box, 0 when
 * the window could not be created. Keeps nothing of the texts. */
typedef int(__cdecl* MirwellUIShowErrorMsg)(bool isInfo, const char* title,
                                           const char* buttonLabel, const char* message);

#endif /* MIRWELLUI_H */
