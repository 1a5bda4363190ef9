// How the system shows a program's windows, for what the program draws or
// sizes itself: the DPI a window is shown at, and whether a high-contrast
// theme is on. The programs declare themselves DPI-aware in their manifest
// (common/resources/program_manifest.rc), so Windows no longer stretches
// their windows: whatever is measured in pixels must follow the DPI.
#pragma once

#include <windows.h>

namespace orx {

// The DPI the pixel sizes of a design for 96 DPI were made at.
constexpr UINT kDesignDpi = 96;

// value * dpi / from, rounded half away from zero (as MulDiv, without
// importing it): a size in pixels made for `from` DPI, at `dpi`.
int ScaleToDpi(int value, UINT dpi, UINT from = kDesignDpi);

// The DPI `window` is shown at: GetDpiForWindow where the system has it
// (Windows 10 1607 and later; looked up at run time, as Windows 7 lacks
// it), else the pixels per inch of the window's DC, the one DPI older
// systems show every window at. A null window gives the screen's.
UINT WindowDpi(HWND window);

// WM_DPICHANGED: the window takes the rectangle the system suggests for
// the new DPI (the message's lParam), which keeps it on the monitor it was
// moved to at the size it had in physical terms.
inline void TakeSuggestedRect(HWND window, LPARAM suggested) {
  const RECT& r = *reinterpret_cast<const RECT*>(suggested);
  SetWindowPos(window, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
               SWP_NOZORDER | SWP_NOACTIVATE);
}

// Whether a high-contrast theme is on: what is drawn by hand then takes the
// system's colours (GetSysColor), never the program's own.
bool HighContrastOn();

// The answer HighContrastOn gives instead of the system's, when set: Wine,
// under which the tests run, has no high-contrast theme to turn on (its
// answer is always off). Null in the programs.
extern bool (*g_highContrastAnswer)();

}  // namespace orx
