#include "display_settings.h"

namespace orx {

bool (*g_highContrastAnswer)() = nullptr;

namespace {

// Written by the system in HighContrastOn: here rather than on the stack,
// where the stack guard would check it, and windows are shown by one thread.
HIGHCONTRASTW g_contrast;

}  // namespace

int ScaleToDpi(int value, UINT dpi, UINT from) {
  int product = value * static_cast<int>(dpi);
  int half = static_cast<int>(from / 2);
  return (product >= 0 ? product + half : product - half) / static_cast<int>(from);
}

UINT WindowDpi(HWND window) {
  using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
  auto get = reinterpret_cast<GetDpiForWindowFn>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"user32"), "GetDpiForWindow")));
  UINT dpi = get ? get(window) : 0;  // 0 for a null window
  if (dpi) return dpi;
  HDC dc = GetDC(window);
  dpi = static_cast<UINT>(GetDeviceCaps(dc, LOGPIXELSY));
  ReleaseDC(window, dc);
  return dpi;
}

bool HighContrastOn() {
  if (g_highContrastAnswer) return g_highContrastAnswer();
  g_contrast.cbSize = sizeof(g_contrast);
  return SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof(g_contrast), &g_contrast, 0) &&
         (g_contrast.dwFlags & HCF_HIGHCONTRASTON);
}

}  // namespace orx
